#!/bin/sh
# with-keyring.sh COMMAND...: runs the command with a Secret Service of its
# own: GNOME Keyring on a private D-Bus session bus, its login keyring made and
# unlocked in a fresh home folder that is removed afterwards. The user's bus
# and keyring are never seen.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT INT TERM
mkdir -p "$home/data" "$home/cache" "$home/config"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" XDG_CONFIG_HOME="$home/config"
unset DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL
export TARNWICK_TEST_KEYRING=1
# The login keyring is made with this password and unlocked (an empty one
# would ask through a prompt, which has no display here). The daemon ends
# with the bus.
dbus-run-session -- sh -c '
    printf "tarnwick-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"' with-keyring "$@"
