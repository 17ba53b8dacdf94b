# Detection rule for Intune (custom detection script) and Configuration Manager (script
# detection method): one call of the tool install.cmd keeps on the machine. "qx48patch detect"
# prints one line (installed) only when every EWARM installation holds this package's patch
# version or a newer one; the package's version is written in below when the package is made,
# since the tool kept on the machine may be a later package's.
# Both systems read a detection script the same way: exit code 0 with something on standard
# output is "installed"; exit code 0 with nothing on standard output is "not installed".
$base = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$tool = Join-Path $base 'QuorVantel\QX48_EWARM_pack\qx48patch.exe'
if (Test-Path -LiteralPath $tool) { & $tool detect --at-least '@QX48_PATCH_VERSION@' --verify }
exit 0
