"""Parts of the end-to-end test harness: local servers, a virtual display, the
program driven through X like a person would, and a stand-in default browser."""
