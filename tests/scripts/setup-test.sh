#!/usr/bin/env bash
# scripts/setup.sh against a package system that fails the way a real one does, without touching
# the machine's: apt-get, dpkg-query and dpkg are scripts on PATH that keep their state in a
# folder of this test. Each row: the kernel, what is installed, how apt-get update and install
# behave, and what set-up must then do.
set -u
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake="$work/bin"
mkdir -p "$fake"

cat >"$fake/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_STATE/calls"
if [ "$1" = update ]; then
  if [ "$FAKE_UPDATE" = mirror ]; then
    echo "W: Some index files failed to download."
    echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (28260 != 28312). Mirror sync in progress? [IP: 192.0.2.1 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
for p in "$@"; do
  case " $FAKE_BROKEN " in
    *" $p "*)
      echo "Some packages could not be installed."
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100 ;;
  esac
done
for p in "$@"; do
  case "$p" in -*|install) ;; *) echo "$p" >>"$FAKE_STATE/installed" ;; esac
done
SH
cat >"$fake/dpkg-query" <<'SH'
#!/usr/bin/env bash
p=${!#}
if grep -qxF "$p" "$FAKE_STATE/installed" 2>/dev/null ||
   { [ "$FAKE_HAVE" = all ] && [ "$p" != "$FAKE_LACKS" ]; }; then
  printf 'install ok installed'
  exit 0
fi
echo "dpkg-query: no packages found matching $p" >&2
exit 1
SH
cat >"$fake/dpkg" <<'SH'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$FAKE_STATE/architectures" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE_STATE/architectures"; echo "dpkg $*" >>"$FAKE_STATE/calls" ;;
esac
SH
printf '#!/bin/sh\necho 0\n' >"$fake/id"
chmod +x "$fake"/*

passed=0
failed=0
# what | 32-bit kernel | installed: all, all but one (LACKS), none | update | broken packages |
# exit status | lines the output must hold (|-separated) | the calls, in order (|-separated)
rows=(
  "everything present|yes|all||ok||0||"
  "a 64-bit-only kernel without the 32-bit Wine needs nothing|no|all|wine32:i386|ok||0|runs no 32-bit programs|"
  "mirror mid-sync and a 32-bit Wine that cannot be had|yes|none||mirror|wine32:i386|0|setup: apt-get update failed part-way, going on with the indexes it fetched: E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz|the 32-bit Wine (wine32:i386) could not be installed, so only 64-bit programs run here: E: Unable to correct problems|dpkg --add-architecture i386|apt-get update -qq|apt-get install *cmake*wine64*|apt-get install -y -qq --no-install-recommends wine32:i386"
  "mirror mid-sync on a 64-bit-only kernel: no 32-bit Wine, no i386 architecture|no|none||mirror||0|setup: apt-get update failed part-way|apt-get update -qq|apt-get install *cmake*wine64*"
  "a package every build needs cannot be installed|yes|none||ok|mingw-w64|1|setup failed: could not install the packages the builds need (cmake|E: Unable to correct problems|dpkg --add-architecture i386|apt-get update -qq|apt-get install *cmake*"
  "mirror mid-sync and a package every build needs missing|no|none||mirror|googletest|1|setup: apt-get update failed part-way|setup failed|apt-get update -qq|apt-get install *googletest*"
  "only the 32-bit Wine missing, and it installs|yes|all|wine32:i386|ok||0|installing wine32:i386|dpkg --add-architecture i386|apt-get update -qq|apt-get install -y -qq --no-install-recommends wine32:i386"
)

for row in "${rows[@]}"; do
  IFS='|' read -r what kernel have lacks update broken status rest <<<"$row"
  state="$work/state"
  rm -rf "$state" && mkdir -p "$state" && : >"$state/calls"
  output=$(PATH="$fake:$PATH" FAKE_STATE="$state" FAKE_HAVE="$have" FAKE_LACKS="$lacks" \
    FAKE_UPDATE="$update" FAKE_BROKEN="$broken" QX48_SETUP_KERNEL_32BIT="$kernel" \
    bash "$setup" 2>&1)
  got=$?
  # The expected lines and calls share one list: a call starts with "apt-get " or "dpkg ".
  IFS='|' read -r -a expected <<<"$rest"
  wanted_calls=()
  problems=()
  [ "$got" = "$status" ] || problems+=("exit status $got, not $status")
  for e in "${expected[@]}"; do
    [ -n "$e" ] || continue
    case "$e" in
      "apt-get "* | "dpkg "*) wanted_calls+=("$e") ;;
      *) grep -qF -- "$e" <<<"$output" || problems+=("no line holding: $e") ;;
    esac
  done
  mapfile -t calls <"$state/calls"
  if [ ${#calls[@]} != ${#wanted_calls[@]} ]; then
    problems+=("${#calls[@]} calls, not ${#wanted_calls[@]}")
  else
    for i in "${!calls[@]}"; do
      # shellcheck disable=SC2053  # the expected call is a pattern
      [[ ${calls[$i]} == ${wanted_calls[$i]} ]] || problems+=("call $((i + 1)): '${calls[$i]}', not '${wanted_calls[$i]}'")
    done
  fi
  if [ ${#problems[@]} = 0 ]; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    printf '  %s\n' "${problems[@]}"
    echo "  calls:"; printf '    %s\n' "${calls[@]}"
    echo "  output:"; sed 's/^/    /' <<<"$output"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
