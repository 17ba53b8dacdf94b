# Detection rule for Intune (custom detection script) and Configuration Manager (script
# detection method): the patch counts as installed when every EWARM installation of the machine
# holds this package's patch version, as "qx48patch status" tells by its exit code.
# Both systems read a detection script the same way: exit code 0 with something on standard
# output is "installed"; exit code 0 with nothing on standard output is "not installed".
$base = if ($env:ProgramW6432) { $env:ProgramW6432 } else { $env:ProgramFiles }
$tool = Join-Path $base 'QuorVantel\QX48_EWARM_pack\qx48patch.exe'
if (Test-Path -LiteralPath $tool) {
    & $tool status --all --quiet
    if ($LASTEXITCODE -eq 0) {
        Write-Output 'QX48 patch current in every EWARM installation'
    }
}
exit 0
