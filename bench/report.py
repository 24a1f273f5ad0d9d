#!/usr/bin/env python3
"""The bench's figures: medians of each row, the ratios to the peers with their targets, a last
line that says which targets hold, and the same ratios as a small SVG bar chart.
  report.py ROUNDS FIGURES CHART MACHINE
FIGURES holds one 'name,round value' a line (milliseconds; microseconds for the processor times, KiB
for the peak working sets)."""
import statistics
import sys

rounds, figures, chart, machine = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
t = {}
with open(figures) as f:
    for line in f:
        key, value = line.split()
        t[key] = float(value)


def runs(tool):
    return [t['%s,%d' % (tool, r)] for r in range(1, rounds + 1)]


def ratios(a, b):
    return [x / max(y, 1) for x, y in zip(runs(a), runs(b))]


# The data check covers the plain files and the archives' files together.
for r in range(1, rounds + 1):
    t['check,%d' % r] = t['compare,%d' % r] + t['comparezip,%d' % r]
    t['readcheck,%d' % r] = t['readcompare,%d' % r] + t['readcomparezip,%d' % r]


def ratio(a, b):
    return statistics.median(ratios(a, b))


ROWS = [('engine', 'engine, plain files', 'ms'), ('copyfile', 'CopyFileA under Wine, plain files', 'ms'),
        ('nsiscopy', 'NSIS CopyFiles under Wine, plain files', 'ms'), ('enginezip', 'engine, archives', 'ms'),
        ('nsisextract', 'NSIS File /r under Wine, same tree', 'ms'), ('compare', 'data check, plain files', 'ms'),
        ('comparezip', "data check, archives' files", 'ms'), ('readcomparezip', "read both, archives' files", 'ms'),
        ('readcompare', 'read both, compare, under Wine', 'ms'), ('launcher', 'launcher, copy to record', 'ms'),
        ('quiet', 'setup.exe /quiet, copy to record', 'ms'), ('launchercpu', 'launcher, processor time', 'us'),
        ('quietcpu', 'setup.exe /quiet, processor time', 'us'), ('launchermem', 'launcher, peak working set', 'KiB'),
        ('quietmem', 'setup.exe /quiet, peak working set', 'KiB'),
        ('overgame', 'setup.exe /quiet over the game, whole run', 'ms'),
        ('repair', 'setup.exe /repair, one file of 1000 KiB', 'ms')]
NATIVE = [('dd', 'native dd bs=64K, plain files'), ('cp', 'native cp, plain files'),
          ('unzip', 'native unzip, archives'), ('cmp', 'native cmp -s, plain files')]

print()
print('%-40s %10s' % ('median of %d runs' % rounds, ''))
for tool, label, unit in ROWS:
    print('%-40s %10.0f %s' % (label, statistics.median(runs(tool)), unit))
print('information only (native, not on the same runtime):')
for tool, label in NATIVE:
    print('%-40s %10.0f ms' % (label, statistics.median(runs(tool))))

BREAKDOWN = [('zipdirectory', 'directory and headers'), ('zipinflate', 'inflating, with the CRC'),
             ('zipcreate', 'making folders and files'), ('zipwrite', 'writing'),
             ('zipflush', 'flushing (four threads, summed)'), ('zipclose', 'closing'),
             ('zipwait', 'waiting for the flushes')]
print('engine archives, where the time goes (median of the sums over the entries):')
for tool, label in BREAKDOWN:
    print('  %-38s %10.0f ms' % (label, statistics.median(runs(tool))))
print('  %-38s %10.0f ms' % ('NSIS extraction, total', statistics.median(runs('nsisextract'))))

targets = [
    ('engine / CopyFileA, plain files', ratios('engine', 'copyfile'), 0.9),
    ('engine / NSIS CopyFiles, plain files', ratios('engine', 'nsiscopy'), 0.9),
    ('engine / NSIS extraction, archives', ratios('enginezip', 'nsisextract'), 0.9),
    ('data check / read and compare', ratios('check', 'readcheck'), 1.1),
    ('launcher / quiet, wall time', ratios('launcher', 'quiet'), 1.1),
    ('repair / installation over the game', ratios('repair', 'overgame'), 0.5),
]
targets = [(label, statistics.median(values), min(values), max(values), target) for label, values, target in targets]
print()
print('median of %d per-round ratios, each run with its own write-back (spread: lowest to highest)' % rounds)
for label, value, low, high, target in targets:
    print('  %-40s %5.2f  (%4.2f-%4.2f)  target <= %.2f  %s' % (label, value, low, high, target,
                                                              'met' if value <= target else 'MISSED'))
for tool, label in [('launchercpu', 'launcher / quiet, processor time'),
                    ('launchermem', 'launcher / quiet, peak working set')]:
    values = ratios(tool, tool.replace('launcher', 'quiet'))
    print('  %-40s %5.2f  (%4.2f-%4.2f)  (no target)' % (label, statistics.median(values), min(values), max(values)))
for tool, label in [('dd', 'engine / native dd'), ('unzip', 'engine archives / native unzip'),
                    ('cmp', 'data check / native cmp -s')]:
    mine = {'dd': 'engine', 'unzip': 'enginezip', 'cmp': 'compare'}[tool]
    print('  %-40s %5.2f   (information)' % (label, ratio(mine, tool)))

# The chart: one bar a ratio, the target as a line across it.
width, left, bar, gap, scale = 740, 330, 22, 12, 200
height = 60 + len(targets) * (bar + gap)
svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="12">'
       % (width, height), '<rect width="100%" height="100%" fill="white"/>',
       '<text x="10" y="18" font-size="14">What the kit costs against its peers (ratio; lower is better)</text>',
       '<text x="10" y="36" fill="#555">%s, median of %d rounds</text>' % (machine, rounds)]
for i, (label, value, low, high, target) in enumerate(targets):
    y = 50 + i * (bar + gap)
    colour = '#3a7' if value <= target else '#d54'
    svg.append('<text x="10" y="%d">%s</text>' % (y + 15, label))
    svg.append('<rect x="%d" y="%d" width="%.0f" height="%d" fill="%s"/>' % (left, y, min(value, 1.8) * scale, bar,
                                                                               colour))
    svg.append('<text x="%.0f" y="%d">%.2f</text>' % (left + min(value, 1.8) * scale + 4, y + 15, value))
    svg.append('<line x1="%.0f" y1="%d" x2="%.0f" y2="%d" stroke="black" stroke-dasharray="3,2"/>' %
               (left + target * scale, y - 3, left + target * scale, y + bar + 3))
svg.append('</svg>')
with open(chart, 'w') as f:
    f.write('\n'.join(svg) + '\n')

missed = [label for label, value, low, high, target in targets if value > target]
print()
print('chart: %s' % chart)
print('bench: %d rounds; %d of %d targets met%s' % (rounds, len(targets) - len(missed), len(targets),
                                                     '; missed: ' + ', '.join(missed) if missed else ''))
