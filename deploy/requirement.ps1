# Requirement rule for Intune (script requirement) and Configuration Manager (a global condition
# of type script): the package applies only to a machine with an EWARM installation, found where
# qx48patch and the dialog find them: the subkeys of the 32-bit registry view's
# HKLM\SOFTWARE\IAR Systems\Embedded Workbench\5.0\Locations whose InstallPath holds arm\config.
# Prints "EWARM present" when there is one, nothing otherwise; exit code 0 either way.
$paths = @('SOFTWARE\Wow6432Node\IAR Systems\Embedded Workbench\5.0\Locations',
           'SOFTWARE\IAR Systems\Embedded Workbench\5.0\Locations')
$key = $paths | ForEach-Object { "Registry::HKEY_LOCAL_MACHINE\$_" } |
    Where-Object { Test-Path -LiteralPath $_ } | Select-Object -First 1
if ($key) {
    $found = Get-ChildItem -LiteralPath $key -ErrorAction SilentlyContinue | Where-Object {
        $folder = (Get-ItemProperty -LiteralPath $_.PSPath -ErrorAction SilentlyContinue).InstallPath
        $folder -and (Test-Path -LiteralPath (Join-Path $folder 'arm\config'))
    }
    if ($found) { Write-Output 'EWARM present' }
}
exit 0
