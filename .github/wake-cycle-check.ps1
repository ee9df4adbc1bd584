# The wake cycle on a real Windows: two folders mapped as drives Q: and R: with subst, drivenudge
# started with 170 drive characters (a share of 1000 ms: one visit a second, Q and R in turn).
# A watcher on each root must see only the marker folder, created and deleted once per visit,
# the visits alternating between the drives about a second apart; the process must keep running.
param([Parameter(Mandatory)] [string] $Exe)
$ErrorActionPreference = 'Stop'
$marker = '$drivenudge.tmp'
$drives = 'Q', 'R'
$work = Join-Path ([IO.Path]::GetTempPath()) "drivenudge-wake-$PID"
$start = New-Item -ItemType Directory -Force (Join-Path $work 'start')
$watchers = @()
$mapped = @()
$process = $null
try {
    foreach ($d in $drives) {
        if (Test-Path "${d}:\") { throw "drive ${d}: is taken" }
        $folder = New-Item -ItemType Directory -Force (Join-Path $work $d)
        subst "${d}:" $folder.FullName
        if ($LASTEXITCODE -ne 0) { throw "subst ${d}: failed" }
        $mapped += $d
        $watcher = [IO.FileSystemWatcher]::new("${d}:\")
        foreach ($kind in 'Created', 'Deleted', 'Changed', 'Renamed') {
            Register-ObjectEvent $watcher $kind -SourceIdentifier "$d $kind" | Out-Null
        }
        $watcher.EnableRaisingEvents = $true
        $watchers += $watcher
    }

    $process = Start-Process (Resolve-Path $Exe).Path -ArgumentList ('qr' * 85) -WorkingDirectory $start -PassThru
    $null = $process.Handle # keeps the exit code readable
    Start-Sleep -Seconds 12
    if ($process.HasExited) { throw "drivenudge ended by itself, exit code $($process.ExitCode)" }

    $seen = @(Get-Event | ForEach-Object {
            [pscustomobject]@{ Drive = $_.SourceIdentifier[0]; Kind = "$($_.SourceEventArgs.ChangeType)"
                Name = $_.SourceEventArgs.Name; Time = $_.TimeGenerated }
        })
    $seen | Format-Table Time, Drive, Kind, Name | Out-String | Write-Host
    $other = @($seen | Where-Object Name -ne $marker)
    if ($other) { throw "other entries were touched: $($other.Name -join ', ')" }
    # One visit: Created then Deleted on one drive; the next visit on the other drive.
    $steps = @($seen | Where-Object Kind -in 'Created', 'Deleted')
    if ($steps.Count -lt 16) { throw "only $($steps.Count) marker events in 12 s" }
    for ($i = 0; $i -lt $steps.Count; $i++) {
        $want = if ($i % 2) { 'Deleted' } else { 'Created' }
        if ($steps[$i].Kind -ne $want) { throw "event $i is $($steps[$i].Kind), not $want" }
        if ($i % 2) {
            if ($steps[$i].Drive -ne $steps[$i - 1].Drive) { throw "event $i: deleted on another drive" }
        } elseif ($i -gt 0) {
            if ($steps[$i].Drive -eq $steps[$i - 2].Drive) { throw "event ${i}: the same drive twice" }
            $gap = ($steps[$i].Time - $steps[$i - 2].Time).TotalSeconds
            if ($gap -lt 0.5 -or $gap -gt 1.8) { throw "event ${i}: $gap s after the last visit" }
        }
    }
    Write-Host "wake cycle: $($steps.Count / 2) visits, Q and R in turn, about a second apart"
} finally {
    if ($process -and -not $process.HasExited) { Stop-Process -Id $process.Id -Force; $process.WaitForExit() }
    Get-EventSubscriber | Unregister-Event
    $watchers | ForEach-Object { $_.Dispose() }
    foreach ($d in $mapped) { subst "${d}:" /d | Out-Null }
}
# Nothing is left behind in the drives or the folder it was started in.
$left = @(Get-ChildItem -Force (Get-ChildItem $work).FullName)
if ($left) { throw "left behind: $($left.FullName -join ', ')" }
Remove-Item -Recurse -Force $work
