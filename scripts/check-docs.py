#!/usr/bin/env python3
"""No stale command in the documents: every command shown in README.md and docs/*.md (a fenced block's
lines, inline code that starts as a command) names what exists. A make target must be one of the Makefile's; a script or test file of the sources
must be there; a test named to ctest -R or to --gtest_filter must be one the sources define; a test
program must be one the build makes. Prints each stale command with its document and line; exit 1 when
there is one."""
import glob
import os
import re
import shlex
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_targets():
    with open(os.path.join(ROOT, 'Makefile')) as f:
        text = f.read()
    return set(re.findall(r'^([a-z][\w-]*):', text, re.M))


def test_names():
    names, programs = set(), set()
    for path in glob.glob(os.path.join(ROOT, 'tests', '**', '*.cpp'), recursive=True):
        with open(path, encoding='utf-8') as f:
            names |= {'%s.%s' % m for m in re.findall(r'^TEST(?:_F|_P)?\((\w+),\s*(\w+)\)', f.read(), re.M)}
    for path in glob.glob(os.path.join(ROOT, 'tests', '**', 'CMakeLists.txt'), recursive=True):
        with open(path) as f:
            text = f.read()
        names |= set(re.findall(r'add_test\(NAME\s+([\w.]+)', text))
        programs |= set(re.findall(r'kit_(?:engine_)?test\((\w+)', text))
    return names, programs


COMMAND = re.compile(r'^(\w+=\S+\s+)*(make|scripts/|python3|bash|cd build)\b')


def commands(path):
    """What a document shows to run, with its line numbers: the lines of its fenced blocks, and the
    inline code of its text, that start as a command does."""
    fenced = False
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            if line.startswith('```'):
                fenced = not fenced
                continue
            spans = [line.split('#', 1)[0].strip()] if fenced else re.findall(r'`([^`]+)`', line)
            for words in spans:
                if COMMAND.match(words):
                    yield number, words


def stale(words, targets, names, programs):
    """What is stale in one command: a list of reasons, empty when everything it names exists."""
    reasons = []
    for part in words.split('&&'):
        try:
            tokens = shlex.split(part.replace('[', ' ').replace(']', ' '))
        except ValueError:
            return ['cannot be read as a command']
        while tokens and re.match(r'^\w+=', tokens[0]):
            tokens.pop(0)
        if not tokens:
            continue
        if tokens[0] == 'make':
            reasons += ['no make target %s' % t for t in tokens[1:] if '=' not in t and t not in targets]
        for token in tokens:
            if re.match(r'^(scripts|tests|bench|demo|docs)/', token) and not os.path.exists(os.path.join(ROOT, token)):
                reasons.append('no file %s' % token)
            program = re.match(r'^build/tests/(\w+)\.exe$', token)
            if program and program.group(1) not in programs:
                reasons.append('no test program %s' % program.group(1))
            wanted = re.match(r'^--gtest_filter=(.+)$', token)
            for pattern in (wanted.group(1).split(':') if wanted else []):
                regex = re.compile('^' + re.escape(pattern).replace(r'\*', '.*') + '$')
                if not any(regex.match(n) for n in names):
                    reasons.append('no test %s' % pattern)
        if tokens[0] == 'ctest' and '-R' in tokens:
            pattern = tokens[tokens.index('-R') + 1]
            if not any(re.search(pattern, n) for n in names):
                reasons.append('no test %s' % pattern)
    return reasons


def main():
    targets = make_targets()
    names, programs = test_names()
    failed = 0
    for path in [os.path.join(ROOT, 'README.md')] + sorted(glob.glob(os.path.join(ROOT, 'docs', '*.md'))):
        for number, words in commands(path):
            for reason in stale(words, targets, names, programs):
                print('%s:%d: %s: %s' % (os.path.relpath(path, ROOT), number, words, reason))
                failed = 1
    return failed


if __name__ == '__main__':
    sys.exit(main())
