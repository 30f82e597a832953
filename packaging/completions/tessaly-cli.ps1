# PowerShell completion for tessaly-cli.exe: verbs, each verb's options, and archive files.
# Load it in a session (or from $PROFILE):  . .\tessaly-cli.ps1
Register-ArgumentCompleter -Native -CommandName 'tessaly-cli', 'tessaly-cli.exe' -ScriptBlock {
  param($wordToComplete, $commandAst, $cursorPosition)
  $verbs = 'unpack', 'pack', 'list', 'verify', 'info', 'export', 'import', 'status', 'help'
  $words = @($commandAst.CommandElements | Select-Object -Skip 1 | ForEach-Object { $_.ToString() })
  $verb = $words | Where-Object { $verbs -contains $_ } | Select-Object -First 1
  $options = '-h', '--help', '-q', '--quiet'
  switch ($verb) {
    $null { $options = @($verbs) + @('-V', '--version') + $options }
    'unpack' { $options += '--to', '--overwrite', '--keep-changed' }
    'pack' { $options += '--force', '--to' }
    { $_ -in 'list', 'verify', 'info', 'status' } { $options += '--json' }
    'export' { $options += '--entries', '--to' }
    'import' { $options += '--from', '--loudness' }
  }
  $found = @($options | Where-Object { $_ -like "$wordToComplete*" })
  if (-not $verb -or $wordToComplete -like '-*') {
    $found | ForEach-Object { [System.Management.Automation.CompletionResult]::new($_) }
    return
  }
  $patterns = switch ($verb) {
    { $_ -in 'unpack', 'list', 'verify' } { '*.idx', '*.big' }
    { $_ -in 'info', 'export' } { '*.idx', '*.big', '*.asf' }
    default { '*' }
  }
  Get-ChildItem -Path "$wordToComplete*" -ErrorAction SilentlyContinue |
    Where-Object { $name = $_.Name; $_.PSIsContainer -or ($patterns | Where-Object { $name -like $_ }) } |
    ForEach-Object { [System.Management.Automation.CompletionResult]::new($_.Name) }
}
