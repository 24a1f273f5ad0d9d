# Environment of the Wine test bench; sourced by bench.sh and wine-run.sh.
# KIT_BUILD: the build folder (default: build/ beside the sources).
KIT_SOURCE=${KIT_SOURCE:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
KIT_BUILD=${KIT_BUILD:-$KIT_SOURCE/build}
KIT_USER=${KIT_USER:-kitrun}
KIT_BENCH=$KIT_BUILD/bench
KIT_PREFIX=$KIT_BUILD/wine
KIT_SCRATCH=$KIT_BUILD/scratch
KIT_HOME=$KIT_BENCH/home

if [ "$(id -u)" = 0 ]; then
  KIT_AS_USER=(runuser -u "$KIT_USER" --)
else
  KIT_AS_USER=()
fi

kit_display() {
  if [ -f "$KIT_BENCH/display" ]; then cat "$KIT_BENCH/display"; else echo "${DISPLAY:-}"; fi
}

# The environment every program of the bench runs in: the project's prefix, the Japanese locale
# (ANSI code page 932; KIT_LOCALE=C.UTF-8 gives code page 1252, ru_RU.UTF-8 code page 1251), no menu entries on the Unix desktop, no Mono or Gecko installers, no sound
# device (the machines have none).
kit_env() {
  echo env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$KIT_HOME" USER="$KIT_USER" LOGNAME="$KIT_USER" \
    WINEPREFIX="$KIT_PREFIX" WINEARCH=win32 WINEDEBUG=-all \
    WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d;winealsa.drv=d;winepulse.drv=d;wineoss.drv=d" \
    LANG="${KIT_LOCALE:-ja_JP.UTF-8}" LC_ALL="${KIT_LOCALE:-ja_JP.UTF-8}" DISPLAY="$(kit_display)" \
    KIT_LOCALE="${KIT_LOCALE:-ja_JP.UTF-8}" KIT_BIN='y:\bin' KIT_SCRATCH='z:' KIT_TESTS='y:\tests' KIT_STRESS_CASES="${KIT_STRESS_CASES:-}" \
    KIT_MEDIUM="${KIT_MEDIUM:-}"
}
