#!/usr/bin/env bash
# Runs a command (the end-to-end tests) inside a private network and mount
# namespace in which the program's host names lead to servers on 127.0.0.1,
# trusted through a test CA made here. Nothing on the machine is changed and no
# test traffic can leave: the namespace has only loopback and one veth pair.
#
# Usage: run_in_namespace.sh COMMAND [ARG...]
# Host names come from QINVARA_MIRROR_HOST, QINVARA_UPDATE_HOST and
# QINVARA_SITE_HOST (defaults mirror.test, update.test, site.test).
# The command sees QINVARA_E2E_CERT, QINVARA_E2E_KEY and QINVARA_E2E_CA.
# A pytest exit code 5 (nothing collected) is turned into a failure.
set -euo pipefail

if (($# == 0)); then
    echo "usage: $0 COMMAND [ARG...]" >&2
    exit 2
fi

export QINVARA_MIRROR_HOST="${QINVARA_MIRROR_HOST:-mirror.test}"
export QINVARA_UPDATE_HOST="${QINVARA_UPDATE_HOST:-update.test}"
export QINVARA_SITE_HOST="${QINVARA_SITE_HOST:-site.test}"

self="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"

if [[ "${QINVARA_E2E_NAMESPACE:-}" != inside ]]; then
    export QINVARA_E2E_NAMESPACE=inside
    if ((EUID == 0)); then
        exec unshare --net --mount -- bash "$self" "$@"
    fi
    # Without root, a user namespace in which we are root may still do it.
    if unshare --user --map-root-user --net --mount -- true 2>/dev/null; then
        exec unshare --user --map-root-user --net --mount -- bash "$self" "$@"
    fi
    echo "error: the end-to-end tests need a private network and mount namespace:" >&2
    echo "  run them as root, or enable unprivileged user namespaces" >&2
    echo "  (sysctl kernel.unprivileged_userns_clone=1)." >&2
    exit 1
fi

# Inside the namespace from here on.
mount --make-rprivate /

# A display socket folder of our own. The X servers of every namespace here
# take display :0 (their abstract sockets are apart), but all would bind the
# same file /tmp/.X11-unix/X0, and python-xlib prefers that file: a test would
# then talk to another namespace's server.
mkdir -p /tmp/.X11-unix
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix

ip link set lo up
# glibc's AI_ADDRCONFIG hides 127.0.0.1 when loopback is the only interface
# with an address; one veth end with a documentation address avoids that.
ip link add qv0 type veth peer name qv1
ip addr add 192.0.2.1/32 dev qv0
ip link set qv0 up
ip link set qv1 up

work="$(mktemp -d "${TMPDIR:-/tmp}/qinvara-e2e-ns.XXXXXX")"
trap 'rm -rf "$work"' EXIT

names=("$QINVARA_MIRROR_HOST" "$QINVARA_UPDATE_HOST" "$QINVARA_SITE_HOST")

{
    echo "127.0.0.1 localhost"
    printf '127.0.0.1 %s\n' "${names[@]}"
    echo "::1 localhost ip6-localhost ip6-loopback"
} >"$work/hosts"
mount --bind "$work/hosts" /etc/hosts

# A CA of our own, and a server certificate for the three names signed by it.
san="IP:127.0.0.1"
for name in "${names[@]}"; do
    san="$san,DNS:$name"
done
openssl req -x509 -new -nodes -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 \
    -keyout "$work/ca.key" -out "$work/ca.crt" -days 2 -subj "/CN=Qinvara end-to-end test CA" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -new -nodes -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 \
    -keyout "$work/server.key" -out "$work/server.csr" -subj "/CN=$QINVARA_UPDATE_HOST" 2>/dev/null
cat >"$work/server.ext" <<EXT
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=serverAuth
subjectAltName=$san
EXT
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" \
    -CAcreateserial -days 2 -extfile "$work/server.ext" -out "$work/server.crt" 2>/dev/null

bundle=/etc/ssl/certs/ca-certificates.crt
if [[ ! -f "$bundle" ]]; then
    echo "error: $bundle is missing (install ca-certificates)" >&2
    exit 1
fi
cat "$bundle" "$work/ca.crt" >"$work/ca-certificates.crt"
mount --bind "$work/ca-certificates.crt" "$bundle"

export QINVARA_E2E_CERT="$work/server.crt"
export QINVARA_E2E_KEY="$work/server.key"
export QINVARA_E2E_CA="$work/ca.crt"

status=0
"$@" || status=$?
if ((status == 5)); then
    echo "error: no end-to-end test was collected" >&2
    status=1
fi
exit "$status"
