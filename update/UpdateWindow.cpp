// The reminder that a newer version is out: its form and its handlers.
#include "update/BytesToText.h"
#include "update/HttpFetch.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateCheck.h"

namespace qinvara {
namespace {

using forms::Reply;

constexpr const char* kUpdateWindow = "UpdateWindow";

Reply UpdateWindowCreated(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.SetVisible("MainWindow", false);
    // Each fetch stands on its own: a failed one leaves only its control empty.
    layer.Control(kUpdateWindow, "LatestVersionLabel")
        .SetText(BytesToText(HttpFetch(LatestVersionUrl())));
    layer.Control(kUpdateWindow, "UpdateNotesBox")
        .SetText(BytesToText(HttpFetch(UpdateNotesUrl())));
    return Reply::Nothing;
}

Reply DownloadButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.OpenUrl(DownloadPageUrl());
    layer.UnloadWindow(kUpdateWindow);
    layer.EndProgram(0);
}

Reply DeclineButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.UnloadWindow(kUpdateWindow);
    layer.EndProgram(0);
}

forms::ControlSpec Label(const char* name, const char* formName, int left, int top, int width,
                         int height, const char* text, bool bold = false,
                         forms::Align align = forms::Align::Left) {
    forms::Font font;
    if (bold) {
        font.pixelHeight = 12;
        font.weight = 700;
    }
    return {name, formName, left,
            top,  width,    height,
            true, false,    forms::LabelProps{text, forms::Rgb{0, 0, 0}, font, align}};
}

forms::Form MakeUpdateWindow() {
    forms::Form form;
    forms::WindowSpec& w = form.window;
    w.name = kUpdateWindow;
    w.caption = "Venmoor产品自动更新提醒！";
    w.width = 394;
    w.height = 328;
    w.border = forms::Border::Fixed;
    w.icon = forms::WindowIcon::BlueG;
    w.startCentred = true;
    w.escCloses = true;
    w.showInTaskbar = false;
    form.controls = {
        {"UpdateNotesBox", "", 7, 97, 377, 127, true, true, forms::EditProps{"", {}, true, 0}},
        Label("NotesCaption", "", 8, 77, 120, 16, "更新信息："),
        Label("SeparatorLabel", "", -8, 59, 784, 24, std::string(290, '-').c_str(), false,
              forms::Align::Centre),
        {"DeclineButton", "", 48, 258, 88, 24, true, true, forms::PushButtonProps{"不了，谢谢！"}},
        {"DownloadButton", "", 233, 237, 144, 48, true, true,
         forms::PushButtonProps{"立即果断前往官方下载"}},
        Label("LatestVersionCaption", "", 201, 39, 64, 16, "最新版本："),
        Label("LatestVersionLabel", "", 273, 35, 56, 24, "透明标签", true),
        Label("CurrentVersionLabel", "", 90, 36, 70, 24, "1.0", true),
        Label("CurrentVersionCaption", "", 26, 32, 64, 32, "当前版本："),
        Label("BannerLabel", "", 80, 11, 216, 16, "Qinvara新版本已发布！请及时更新！"),
    };
    form.bindings = {
        {"", forms::Event::Created, &UpdateWindowCreated},
        {"DownloadButton", forms::Event::Clicked, &DownloadButtonClicked},
        {"DeclineButton", forms::Event::Clicked, &DeclineButtonClicked},
    };
    return form;
}

}  // namespace

const forms::Form& UpdateWindowForm() {
    static const forms::Form form = MakeUpdateWindow();
    return form;
}

}  // namespace qinvara
