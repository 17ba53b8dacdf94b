#!/bin/sh
# Checks the package's manifest the way README tells a user to: sha256sum reads it once the size
# column is dropped and the Windows paths are turned into Unix ones.
set -eu
cd "$1"
sed -e 's/^\([0-9a-f]*\)  [0-9]*  /\1  /' -e 's|\\|/|g' QX48_EWARM_patch.sha256 |
  (cd QX48_EWARM_patch && sha256sum --strict -c)
