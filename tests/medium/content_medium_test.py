#!/usr/bin/env python3
"""The medium builder for a release engineer's content folder, for real: the two-disc test product built
from a content folder into two labelled ISO images, installed from them under Wine (each image's files put
in its labelled drive) and checked file by file, then removed; a content folder with each fault the
builder must find gives that fault's line and writes no medium; an update naming a file outside the
product's lists is refused.

usage: content_medium_test.py BUILD_DIR   (the bench started: make test does it)"""
import os
import shutil
import subprocess
import sys
import time
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.path.abspath(sys.argv[1])
SCRATCH = os.path.join(BUILD, 'scratch')
WORK = os.path.join(BUILD, 'content-medium')
USER = os.environ.get('KIT_USER', 'kitrun')
results = {'passed': 0, 'failed': 0}


def check(ok, what):
    results['passed' if ok else 'failed'] += 1
    if not ok:
        print('FAILED: %s' % what)
    return ok


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('ascii'))


def bitmap():
    return b'BM' + bytes(52) + bytes(12)


def wave():
    return b'RIFF' + (36).to_bytes(4, 'little') + b'WAVEfmt ' + bytes(24)


def noise(size, seed):
    state, out = seed, bytearray()
    while len(out) < size:
        state = (state * 1103515245 + 12345) & 0x7fffffff
        out += state.to_bytes(4, 'little')
    return bytes(out[:size])


ARCHIVES = {
    'disc1/Agrd.zip': [('grd/a01.bmp', noise(9000, 1)), ('grd/sub/a02.txt', b'two' * 300)],
    'disc2/Bgrd.ZIP': [('b01.dat', noise(7000, 2))],
}


def good_content(root):
    """The test product (two discs, its archives in both) as a release engineer would hand it over."""
    shutil.rmtree(root, ignore_errors=True)
    write(root + '/disc1/Kitgame.exe', noise(4000, 3))
    write(root + '/disc1/data.tpk', noise(30000, 4))
    write(root + '/disc1/tncfg.dat', bytes(128))
    write(root + '/disc1/readme.txt', 'readme\r\n')
    write(root + '/disc2/disc2.tpk', noise(20000, 5))
    for name, entries in ARCHIVES.items():
        os.makedirs(os.path.dirname(os.path.join(root, name)), exist_ok=True)
        with zipfile.ZipFile(os.path.join(root, name), 'w', zipfile.ZIP_DEFLATED) as archive:
            for entry, data in entries:
                archive.writestr(entry, data)
    write(root + '/absent.txt', '# only an update brings it\nupdate1.tpk\n')
    for n in range(1, 9):
        write(root + '/slides/setup%02d.bmp' % n, bitmap())
    for n in range(1, 8):
        write(root + '/slides/setup%03d.wav' % n, wave())
    write(root + '/manual/manual.html', '<html></html>')


def build_medium(content, out, *extra):
    shutil.rmtree(out, ignore_errors=True)
    return subprocess.run([sys.executable, os.path.join(SOURCE, 'scripts', 'make-medium.py'), BUILD, '--product',
                           'testkit', '--content', content, '--out', out] + list(extra), capture_output=True, text=True)


def wine(program, *args):
    return subprocess.run([os.path.join(SOURCE, 'scripts', 'wine-run.sh'), program] + list(args)).returncode


def drive(letter):
    return os.path.join(SCRATCH, 'drives', letter)


def empty_drive(letter):
    for name in os.listdir(drive(letter)):
        if name != '.windows-label':
            path = os.path.join(drive(letter), name)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)


def insert(image, letter):
    """The image's files put in the drive's folder, as the disc in that drive."""
    empty_drive(letter)
    subprocess.run(['xorriso', '-osirrox', 'on', '-indev', image, '-extract', '/', drive(letter)], check=True,
                   capture_output=True)
    subprocess.run(['chmod', '-R', 'u+w', drive(letter)], check=True)
    if os.getuid() == 0:
        subprocess.run(['chown', '-R', USER, drive(letter)], check=True)


def volume_id(image):
    report = subprocess.run(['xorriso', '-indev', image, '-pvd_info'], capture_output=True, text=True).stdout
    for line in report.splitlines():
        if line.startswith('Volume Id'):
            return line.split(':', 1)[1].strip()
    return None


def same_file(a, b):
    with open(a, 'rb') as f, open(b, 'rb') as g:
        return f.read() == g.read()


def until(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return condition()


def install_from_the_images(content, media):
    for n, label in ((1, 'KITDISC1'), (2, 'KITDISC2')):
        image = os.path.join(media, 'disc%d.iso' % n)
        check(volume_id(image) == label, 'disc%d.iso is labelled %s (%s)' % (n, label, volume_id(image)))
        insert(image, 'pq'[n - 1])
    check(os.path.isfile(drive('p') + '/Kitgame/dcid.001') and os.path.isfile(drive('q') + '/Kitgame/dcid.002'),
          'each disc carries its identification file')
    check(not os.path.exists(drive('p') + '/Kitgame/update1.tpk'), 'the absent update pack is on no disc')
    base = os.path.join(SCRATCH, 'fromcontent')
    shutil.rmtree(base, ignore_errors=True)
    code = wine('p:\\setup.exe', '/quiet', '/nodesktop', '/dir=z:\\fromcontent', '/log=z:\\fromcontent.log')
    if not check(code == 0, 'setup.exe /quiet from the two images ends with 0 (%d)' % code):
        return
    installed = os.path.join(base, 'KitWorks', 'Kitgame')
    for disc in ('disc1', 'disc2'):
        for name in os.listdir(os.path.join(content, disc)):
            if not name.lower().endswith('.zip'):
                check(same_file(os.path.join(content, disc, name), os.path.join(installed, name)), 'installed ' + name)
    for entries in ARCHIVES.values():
        for entry, data in entries:
            path = os.path.join(installed, *entry.split('/'))
            check(os.path.isfile(path) and open(path, 'rb').read() == data, 'extracted ' + entry)
    check(same_file(os.path.join(BUILD, 'bin', 'testkit', 'uninst.exe'), os.path.join(installed, 'uninst.exe')),
          'uninst.exe from the build')
    check(same_file(os.path.join(BUILD, 'bin', 'tunewell.exe'), os.path.join(installed, 'tunewell.exe')),
          'tunewell.exe from the build')
    # The removal deletes the product's files by their names (the archives' files are not among them).
    code = wine('z:\\fromcontent\\KitWorks\\Kitgame\\uninst.exe', '/quiet')
    listed = ('Kitgame.exe', 'data.tpk', 'disc2.tpk', 'uninst.exe', 'tunewell.exe')
    check(code == 0 and until(lambda: not any(os.path.exists(os.path.join(installed, n)) for n in listed), 30),
          'removed again (%d)' % code)
    shutil.rmtree(base, ignore_errors=True)


# Each fault the builder must find: how the good content is spoiled, the line it must print.
FAULTS = [
    ('a listed file missing', lambda c: os.remove(c + '/disc2/disc2.tpk'), [], 'content: disc2.tpk: missing from every disc folder'),
    ('a program of the kit in the content', lambda c: write(c + '/disc1/uninst.exe', 'mine'), [],
     'content: disc1/uninst.exe: comes from the build'),
    ('a file on two discs', lambda c: write(c + '/disc2/data.tpk', 'again'), [], 'content: disc2/data.tpk: also on disc 1'),
    ('a file in no list', lambda c: write(c + '/disc1/extra.dat', 'x'), [], 'content: disc1/extra.dat: in none of'),
    ('an update pack on a disc', lambda c: write(c + '/disc1/grd_2.pac', 'x'), [], 'content: disc1/grd_2.pac: an update pack'),
    ('a slide missing', lambda c: os.remove(c + '/slides/setup03.bmp'), [], 'content: slides/setup03.bmp: missing'),
    ('a slide that is no picture', lambda c: write(c + '/slides/setup02.bmp', 'GIF89a'), [],
     'content: slides/setup02.bmp: not a Windows bitmap'),
    ('no manual', lambda c: os.remove(c + '/manual/manual.html'), [], 'content: manual/manual.html: missing'),
    ('an archive that is none', lambda c: write(c + '/disc1/Agrd.zip', 'not a zip'), [],
     'content: disc1/Agrd.zip: not a zip archive'),
    ('an archive entry outside the folder',
     lambda c: zipfile.ZipFile(c + '/disc2/Bgrd.ZIP', 'a').writestr('../evil.txt', 'x'), [],
     'content: disc2/Bgrd.ZIP: entry ../evil.txt would land outside'),
    ('a disc over its capacity', lambda c: None, ['--capacity-mb', '1'], 'more than its 1 MB: move files to another disc'),
    ('more than the required space', lambda c: write(c + '/disc2/disc2.tpk', noise(3 << 20, 6)), ['--capacity-mb', '650'],
     'product table: requiredSpaceMB is 2, but the installation takes'),
]


def faults_found():
    for what, spoil, extra, line in FAULTS:
        content, out = os.path.join(WORK, 'spoiled'), os.path.join(WORK, 'spoiled-out')
        good_content(content)
        spoil(content)
        run = build_medium(content, out, *extra)
        check(run.returncode == 1 and line in run.stderr, '%s: "%s" expected, got %d: %s' % (what, line, run.returncode,
                                                                                            run.stderr.strip()))
        check(not os.path.exists(os.path.join(out, 'media')), '%s: no medium written' % what)


def update_checked():
    content, out = os.path.join(WORK, 'update-content'), os.path.join(WORK, 'update-out')
    shutil.rmtree(content, ignore_errors=True)
    write(content + '/update1.tpk', 'update one')
    write(content + '/grd_2.pac', 'pack')
    command = [sys.executable, os.path.join(SOURCE, 'scripts', 'make-update.py'), BUILD, '--product', 'testkit',
               '--content', content, '--out', out]
    run = subprocess.run(command, capture_output=True, text=True)
    check(run.returncode == 0 and os.path.isfile(out + '/update.exe') and os.path.isfile(out + '/Kitgame/grd_2.pac'),
          'an update of listed files is laid out: %s' % run.stderr.strip())
    write(content + '/notes.txt', 'never installed')
    shutil.rmtree(out)
    run = subprocess.run(command, capture_output=True, text=True)
    check(run.returncode == 1 and 'content: notes.txt: in none of the product\'s lists' in run.stderr and
          not os.path.exists(out), 'an update with a file outside the lists is refused: %s' % run.stderr.strip())


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    content, out = os.path.join(WORK, 'content'), os.path.join(WORK, 'out')
    good_content(content)
    run = build_medium(content, out)
    if check(run.returncode == 0, 'the good content builds: %s' % run.stderr.strip()):
        try:
            install_from_the_images(content, os.path.join(out, 'media', 'testkit'))
        finally:
            for letter in 'pq':
                empty_drive(letter)
    faults_found()
    update_checked()
    print('%d passed, %d failed' % (results['passed'], results['failed']))
    return 1 if results['failed'] else 0


if __name__ == '__main__':
    sys.exit(main())
