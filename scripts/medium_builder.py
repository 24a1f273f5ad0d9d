"""The medium and the update of a product, laid out from a release engineer's content folder and
checked before anything is written.

A content folder holds
  disc1/, disc2/, ...  the files of each disc's data folder (the product table's folderName): the
                       product files and archives of that disc, flat
  slides/              the pictures and sounds the table names (the first disc's Data folder)
  manual/              the online manual, manual.html at least (the first disc's manual folder)
  absent.txt           optional: names of the product's lists left off every disc on purpose, one a
                       line (update packs that only an update brings)
The kit's own programs (setup.exe, uninst.exe, tunewell.exe, update.exe), autorun.inf and the
identification files dcid.NNN come from the build and the builder; a content folder that holds one is
refused. An update's content folder holds the update's files, flat.

Every fault is one line naming the file and what to do; nothing is written while one stands."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

KIT_PROGRAMS = ('setup.exe', 'uninst.exe', 'tunewell.exe', 'update.exe')
BUILT_ON_DISC = ('uninst.exe', 'tunewell.exe')  # product files the build supplies
MIB = 1 << 20
SECTOR = 2048
# What an ISO 9660 image needs beyond its files' sectors: descriptors, path tables, the Joliet tree.
IMAGE_OVERHEAD = 1 * MIB
DEVICE_NAMES = {'CON', 'PRN', 'AUX', 'NUL'} | {'COM%d' % n for n in range(1, 10)} | {'LPT%d' % n for n in range(1, 10)}


class Product:
    """A product table as the build dumped it (build/generated/<product>/product.json)."""

    def __init__(self, build, name):
        self.name = name
        self.build = build
        with open(os.path.join(build, 'generated', name, 'product.json'), encoding='utf-8') as f:
            table = json.load(f)
        self.table = table
        self.folder = table['folderName']
        self.disc_count = table['discCount']
        self.labels = table['discLabels']
        self.required_mb = table['requiredSpaceMB']
        # Entry 0 is the placeholder the start-up replaces by the game's executable.
        self.install_files = [table['gameExe']] + table['installFiles'][1:]
        self.extra_files = table['extraFiles']
        slides = table['fixedSlides'] + table['slideshow']
        self.slide_files = sorted({s[k] for s in slides for k in ('bitmap', 'sound') if s[k]}, key=str.lower)
        bin_dir = os.path.join(build, 'bin') if name == 'veyla' else os.path.join(build, 'bin', name)
        self.programs = {p: os.path.join(bin_dir, p) for p in ('setup.exe', 'uninst.exe', 'update.exe')}
        self.programs['tunewell.exe'] = os.path.join(build, 'bin', 'tunewell.exe')

    def listed(self, name):
        return name.lower() in {n.lower() for n in self.install_files + self.extra_files}


def safe_entry_name(name):
    """An archive entry that stays inside the installation folder and names no device (as setup.exe judges)."""
    name = name.replace('/', '\\')
    if not name or name.startswith('\\') or ':' in name:
        return False
    for part in name.split('\\'):
        if part == '..' or part.split('.')[0].rstrip(' ').upper() in DEVICE_NAMES:
            return False
    return True


def sectors(size):
    return (size + SECTOR - 1) // SECTOR * SECTOR


class Content:
    """A content folder read against a product, with the faults found."""

    def __init__(self, product, root):
        self.product, self.root, self.faults = product, root, []
        self.discs = {}  # disc number -> {lower name: path}
        self.where = {}  # lower name -> disc number
        self.absent = set()
        self.installed_bytes = 0

    def fault(self, path, what):
        self.faults.append('content: %s: %s' % (os.path.relpath(path, self.root) if path != self.root else self.root, what))

    def read(self):
        p = self.product
        if not os.path.isdir(self.root):
            self.fault(self.root, 'no such folder')
            return self
        wanted = {'disc%d' % n for n in range(1, p.disc_count + 1)} | {'slides', 'manual', 'absent.txt'}
        for entry in sorted(os.listdir(self.root)):
            if entry.lower() not in wanted:
                self.fault(os.path.join(self.root, entry), 'not part of a content folder of %s (%d disc%s): '
                           'remove it, or check the product table' % (p.name, p.disc_count, 's' if p.disc_count > 1 else ''))
        self.read_absent()
        for n in range(1, p.disc_count + 1):
            self.read_disc(n)
        self.check_lists()
        self.check_slides()
        self.check_manual()
        self.check_labels()
        return self

    def read_absent(self):
        path = os.path.join(self.root, 'absent.txt')
        if not os.path.exists(path):
            return
        with open(path, encoding='utf-8') as f:
            for line in f:
                name = line.strip()
                if not name or name.startswith('#'):
                    continue
                if not self.product.listed(name):
                    self.fault(path, '%s is in none of the product\'s lists: remove the line' % name)
                self.absent.add(name.lower())

    def read_disc(self, n):
        folder = os.path.join(self.root, 'disc%d' % n)
        files = self.discs.setdefault(n, {})
        if not os.path.isdir(folder):
            self.fault(folder, 'missing: disc %d of %d needs its folder' % (n, self.product.disc_count))
            return
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            low = name.lower()
            if os.path.isdir(path):
                self.fault(path, 'a folder: a disc\'s data folder holds files only (put folders in an archive)')
            elif low in KIT_PROGRAMS or low == 'autorun.inf' or low.startswith('dcid.'):
                self.fault(path, 'comes from the build and the builder: remove it from the content folder')
            elif low in {e.lower() for e in self.product.extra_files}:
                self.fault(path, 'an update pack: only an update installs it; put it in an update\'s content folder')
            elif not self.product.listed(name):
                self.fault(path, 'in none of the product\'s lists, so never installed: add it to the product '
                           'table or remove it')
            elif low in self.where:
                self.fault(path, 'also on disc %d: a file belongs to one disc' % self.where[low])
            else:
                self.where[low] = n
                files[low] = path
                self.installed_bytes += self.installed_size(path)

    def installed_size(self, path):
        if not path.lower().endswith('.zip'):
            return os.path.getsize(path)
        try:
            with zipfile.ZipFile(path) as archive:
                bad = archive.testzip()
                if bad is not None:
                    self.fault(path, 'damaged entry %s: build the archive again' % bad)
                    return 0
                for info in archive.infolist():
                    if not safe_entry_name(info.filename):
                        self.fault(path, 'entry %s would land outside the installation folder or on a device: '
                                   'rename it in the archive' % info.filename)
                return sum(i.file_size for i in archive.infolist() if not i.is_dir())
        except (zipfile.BadZipFile, OSError) as error:
            self.fault(path, 'not a zip archive (%s): build it again' % error)
            return 0

    def check_lists(self):
        for name in self.product.install_files:
            low = name.lower()
            if low in {b.lower() for b in BUILT_ON_DISC}:
                continue
            if low in self.where and low in self.absent:
                self.fault(os.path.join(self.root, 'absent.txt'), '%s is on disc %d: remove the line' % (name, self.where[low]))
            elif low not in self.where and low not in self.absent:
                self.faults.append('content: %s: missing from every disc folder: put it in the folder of its disc, '
                                   'or name it in absent.txt if only an update brings it' % name)

    def check_slides(self):
        folder = os.path.join(self.root, 'slides')
        present = {n.lower(): n for n in os.listdir(folder)} if os.path.isdir(folder) else {}
        for name in self.product.slide_files:
            path = os.path.join(folder, present.get(name.lower(), name))
            if name.lower() not in present:
                self.fault(path, 'missing: the product table shows it during the installation')
                continue
            with open(path, 'rb') as f:
                head = f.read(12)
            if name.lower().endswith('.bmp') and head[:2] != b'BM':
                self.fault(path, 'not a Windows bitmap (BMP): save it as one')
            elif name.lower().endswith('.wav') and (head[:4] != b'RIFF' or head[8:12] != b'WAVE'):
                self.fault(path, 'not a WAVE sound: save it as one')

    def check_manual(self):
        path = os.path.join(self.root, 'manual', 'manual.html')
        if not os.path.isfile(path):
            self.fault(path, 'missing: the launcher\'s manual button opens it')

    def check_labels(self):
        p = self.product
        if len(p.labels) != p.disc_count:
            self.faults.append('product table: %d disc labels for %d discs' % (len(p.labels), p.disc_count))
        for n, label in enumerate(p.labels, 1):
            # Windows shows a disc's Joliet label, at most 16 characters.
            if not label or len(label) > 16 or not all(' ' <= c <= '~' for c in label):
                self.faults.append('product table: disc %d label "%s" is not 1 to 16 plain characters' % (n, label))

    def disc_bytes(self, n, extra):
        """What disc n's image takes: its files' sectors, the first disc's own files, the image's overhead."""
        total = sum(sectors(os.path.getsize(path)) for path in self.discs.get(n, {}).values()) + SECTOR  # dcid.NNN
        return total + sum(sectors(size) for size in extra) + IMAGE_OVERHEAD


def first_disc_extras(product, content):
    """Sizes of what the first disc holds beyond its product files: the kit's programs, autorun.inf, the
    slides and the manual."""
    sizes = [os.path.getsize(product.programs[p]) for p in ('setup.exe',) + BUILT_ON_DISC] + [SECTOR]
    for sub in ('slides', 'manual'):
        for base, _, names in os.walk(os.path.join(content.root, sub)):
            sizes += [os.path.getsize(os.path.join(base, n)) for n in names]
    return sizes


def check_medium(product, content_root, capacity_mb):
    """The faults of a content folder: none when a medium may be built from it."""
    content = Content(product, content_root).read()
    for program in ('setup.exe',) + BUILT_ON_DISC:
        if not os.path.isfile(product.programs[program]):
            content.faults.append('build: %s is missing: run make build first' % product.programs[program])
    if content.faults:
        return content
    built = sum(os.path.getsize(product.programs[p]) for p in BUILT_ON_DISC)
    takes = content.installed_bytes + built
    if takes > product.required_mb * MIB:
        content.faults.append('product table: requiredSpaceMB is %d, but the installation takes %d MB: raise it '
                              'in setup/config/%s/product_table.cpp' % (product.required_mb, -(-takes // MIB), product.name))
    for n in range(1, product.disc_count + 1):
        used = content.disc_bytes(n, first_disc_extras(product, content) if n == 1 else [])
        if used > capacity_mb * MIB:
            content.faults.append('content: disc%d: the disc takes %d MB, more than its %d MB: move files to another '
                                  'disc, or give a larger capacity' % (n, -(-used // MIB), capacity_mb))
    return content


def place(source, target):
    """A file of the content put on the medium: a second name where the file system allows, else a copy."""
    try:
        os.link(source, target)
    except OSError:
        shutil.copyfile(source, target)


def autorun(label):
    """AutoPlay's entry of a disc that carries setup.exe: run it, with its icon and the disc's name."""
    return ('[autorun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\nlabel=%s\r\n' % label).encode('ascii')


def lay_out(product, content, disc_folders):
    """Writes each disc's folder (disc_folders[n - 1]); returns the programs placed, to be signed."""
    programs = []
    for n, root in enumerate(disc_folders, 1):
        shutil.rmtree(root, ignore_errors=True)
        data = os.path.join(root, product.folder)
        os.makedirs(data)
        for low, path in sorted(content.discs[n].items()):
            place(path, os.path.join(data, os.path.basename(path)))
            if low == product.install_files[0].lower():
                programs.append(os.path.join(data, os.path.basename(path)))
        open(os.path.join(data, 'dcid.%03d' % n), 'wb').close()
        if n != 1:
            continue
        shutil.copy(product.programs['setup.exe'], root)
        programs.append(os.path.join(root, 'setup.exe'))
        for program in BUILT_ON_DISC:
            shutil.copy(product.programs[program], data)
            programs.append(os.path.join(data, program))
        for sub, target in (('slides', 'Data'), ('manual', 'manual')):
            shutil.copytree(os.path.join(content.root, sub), os.path.join(root, target), copy_function=place)
        with open(os.path.join(root, 'autorun.inf'), 'wb') as f:
            f.write(autorun(product.labels[0]))
    return programs


def make_image(folder, label, image):
    subprocess.run(['xorriso', '-as', 'mkisofs', '-quiet', '-V', label, '-J', '-r', '-o', image, folder], check=True)


def check_update(product, content_root):
    """The faults of an update's content folder."""
    faults = []
    if not os.path.isdir(content_root):
        return ['content: %s: no such folder' % content_root]
    names = sorted(os.listdir(content_root))
    if not names:
        faults.append('content: %s: empty: an update holds at least one file' % content_root)
    for name in names:
        path = os.path.join(content_root, name)
        if os.path.isdir(path):
            faults.append('content: %s: a folder: an update holds files only' % name)
        elif not product.listed(name):
            faults.append('content: %s: in none of the product\'s lists, so update.exe would never install it: '
                          'add it to the product table or remove it' % name)
    if not os.path.isfile(product.programs['update.exe']):
        faults.append('build: %s is missing: run make build first' % product.programs['update.exe'])
    return faults


def lay_out_update(product, content_root, out):
    """update.exe and its folder; returns the programs placed."""
    shutil.rmtree(out, ignore_errors=True)
    data = os.path.join(out, product.folder)
    os.makedirs(data)
    shutil.copy(product.programs['update.exe'], out)
    programs = [os.path.join(out, 'update.exe')]
    for name in sorted(os.listdir(content_root)):
        place(os.path.join(content_root, name), os.path.join(data, name))
        if name.lower().endswith('.exe'):
            programs.append(os.path.join(data, name))
    return programs


def tncfg_default():
    """The settings file the sample ships: the engine's defaults, 32 little-endian integers."""
    return struct.pack('<32i', *([1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 2, 2, 1] + [0] * 13))


class Signer:
    """Signs programs with the publisher's certificate and checks each signature it makes."""

    def __init__(self, pkcs12, password_file, timestamp_url, work, description):
        self.pkcs12, self.password_file, self.timestamp_url = pkcs12, password_file, timestamp_url
        self.description = description
        # Trust for the check: the system's roots and the certificates of the publisher's file, so
        # that a certificate of the publisher's own making verifies too.
        self.trust = os.path.join(work, 'trust.pem')
        with open(password_file, 'rb') as f:
            password = f.read().strip(b'\r\n')
        certs = subprocess.run(['openssl', 'pkcs12', '-in', pkcs12, '-nokeys', '-passin', 'stdin'], input=password,
                               check=True, capture_output=True).stdout
        system = '/etc/ssl/certs/ca-certificates.crt'
        with open(self.trust, 'wb') as f:
            if os.path.exists(system):
                with open(system, 'rb') as roots:
                    f.write(roots.read())
            f.write(certs)

    def sign(self, path):
        signed = path + '.signed'
        command = ['osslsigncode', 'sign', '-pkcs12', self.pkcs12, '-readpass', self.password_file, '-h', 'sha256',
                   '-n', self.description, '-in', path, '-out', signed]
        if self.timestamp_url:
            command[2:2] = ['-ts', self.timestamp_url]
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        # A new file in place of the old: a content file the medium shares a name with stays unsigned.
        os.replace(signed, path)
        subprocess.run(['osslsigncode', 'verify', '-CAfile', self.trust, '-in', path], check=True,
                       stdout=subprocess.DEVNULL)
        print('medium: signed %s' % path)


def add_signing_arguments(parser):
    """The publisher's certificate, its password file and a time-stamp server, as the Makefile passes them."""
    parser.add_argument('--sign-pkcs12')
    parser.add_argument('--sign-password-file')
    parser.add_argument('--sign-timestamp-url')


def check_signing_arguments(parser, args):
    if bool(args.sign_pkcs12) != bool(args.sign_password_file):
        parser.error('signing needs both --sign-pkcs12 and --sign-password-file')


def sign_all(args, product, programs):
    """Every program placed signed and verified, where a certificate was given."""
    if not args.sign_pkcs12:
        return
    with tempfile.TemporaryDirectory() as work:
        signer = Signer(args.sign_pkcs12, args.sign_password_file, args.sign_timestamp_url, work, product.table['gameName'])
        for program in programs:
            signer.sign(program)


def stop_on(faults, what):
    """Each fault on the error output, and the end of the run with 1, where there is one."""
    if faults:
        for line in faults:
            print(line, file=sys.stderr)
        print('%s: %d fault%s, nothing written' % (what, len(faults), '' if len(faults) == 1 else 's'), file=sys.stderr)
        sys.exit(1)
