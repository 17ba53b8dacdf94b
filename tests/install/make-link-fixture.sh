#!/bin/sh
# Makes, on the Unix side, what a Windows program under Wine cannot make itself: symbolic links
# (Wine's CreateSymbolicLinkA only pretends) and names that Windows would refuse.
set -eu
fixture=$1
rm -rf "$fixture"
mkdir -p "$fixture"
cd "$fixture"

# A patch that loops back into itself twice.
mkdir -p loop-patch/sub
printf a > loop-patch/a.txt
printf b > loop-patch/sub/b.txt
ln -s .. loop-patch/sub/loop
ln -s . loop-patch/self

# A folder that no install may touch, and installations that lead into it.
mkdir -p outside
printf keep > outside/keep.txt
mkdir -p EW-linked/arm/config/devices
ln -s "$fixture/outside" EW-linked/arm/config/devices/QuorVantel
mkdir -p EW-inner/arm/config/devices/QuorVantel
printf old > EW-inner/arm/config/devices/QuorVantel/old.xml
ln -s "$fixture/outside" EW-inner/arm/config/devices/QuorVantel/inner
mkdir -p EW-filelink/arm/config
ln -s "$fixture/outside/keep.txt" EW-filelink/arm/config/same.txt
ln -s "$fixture/outside/new.txt" EW-filelink/arm/config/fresh.txt
# A dangling link where earlier versions made their temporary for ok.txt (Wine does not list it),
# and one in ok.txt's own place, so that ok.txt cannot be made there.
mkdir -p EW-templink/arm/config
ln -s "$fixture/outside/temporary.txt" EW-templink/arm/config/ok.txt.qx48new
ln -s "$fixture/outside/ok.txt" EW-templink/arm/config/ok.txt
# A live link there, to a read-only file outside, and the same dangling link in ok.txt's place.
mkdir -p outside-readonly EW-strayLink/arm/config
printf keep > outside-readonly/keep.txt
chmod 444 outside-readonly/keep.txt
ln -s "$fixture/outside-readonly/keep.txt" EW-strayLink/arm/config/ok.txt.qx48new
ln -s "$fixture/outside-readonly/ok.txt" EW-strayLink/arm/config/ok.txt
# A kept generation holding a folder whose Unix name reads, on Windows, as a way out of it.
mkdir -p EW-oddkept/arm/config/QX48_EWARM_patch.previous 'EW-oddkept/arm/config/QX48_EWARM_patch.previous/..\..\victim'
printf x > 'EW-oddkept/arm/config/QX48_EWARM_patch.previous/..\..\victim/x.txt'
mkdir -p EW-oddkept/arm/victim
printf keep > EW-oddkept/arm/victim/keep.txt

# Installations where another user planted the install's own areas as links, or a link on the way
# into the configuration folder, all leading to a victim folder no run may touch.
mkdir -p victim/dir
printf secret > victim/secret.txt
printf inner > victim/dir/inner.txt
for name in EW-undolink EW-prevlink EW-pathlink; do mkdir -p $name/arm/config/devices; done
ln -s "$fixture/victim" EW-undolink/arm/config/QX48_EWARM_patch.undo
ln -s "$fixture/victim" EW-prevlink/arm/config/QX48_EWARM_patch.previous
ln -s "$fixture/victim" EW-pathlink/arm/config/devices/QuorVantel

# Installations whose installed device file is a hard link to a file outside them.
mkdir -p outside-hard
printf keep > outside-hard/keep.i79
for name in EW-hardlink-merge EW-hardlink-clear; do
  mkdir -p $name/arm/config/devices/QuorVantel
  ln outside-hard/keep.i79 $name/arm/config/devices/QuorVantel/QX48.i79
done

# A patch whose names Windows would read as other places or as devices.
mkdir -p odd-patch
printf good > odd-patch/good.txt
printf x > 'odd-patch/a\b'
printf x > 'odd-patch/x:y'
printf x > odd-patch/con
printf x > odd-patch/...
printf x > odd-patch/trail.
mkdir -p 'odd-patch/..\..\evil'
printf x > 'odd-patch/..\..\evil/e.txt'
mkdir -p EW-odd/arm/config

# Installations whose own folders on the way to arm\config lead elsewhere: arm\config a link, arm
# a link, the installation folder itself a link. Each target looks like a configuration folder
# holding a vendor's files, which no run may write, move or delete.
config_like() {
  mkdir -p "$1/devices/QuorVantel"
  printf own > "$1/devices/QuorVantel/own.txt"
  printf '[Install]\r\nVersion="V1.0"\r\n' > "$1/Qorvantel.Version"
}
config_like chain-outside/config
config_like chain-outside/arm/config
config_like chain-outside/install/arm/config
mkdir -p EW-configlink/arm EW-armlink
ln -s "$fixture/chain-outside/config" EW-configlink/arm/config
ln -s "$fixture/chain-outside/arm" EW-armlink/arm
ln -s "$fixture/chain-outside/install" EW-folderlink

# A read-only file outside, hard-linked into a vendor folder: its flag belongs to both names.
mkdir -p outside-readonly-hard EW-readonly-hardlink/arm/config/devices/QuorVantel
printf keep > outside-readonly-hard/keep.i79
chmod 444 outside-readonly-hard/keep.i79
ln outside-readonly-hard/keep.i79 EW-readonly-hardlink/arm/config/devices/QuorVantel/QX48.i79
