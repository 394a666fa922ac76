# Package installs for the set-up scripts (sourced by wine-route.sh and
# install-deps.sh): Debian's apt-get, as root, retried where a mirror may be
# caught mid-sync, and a failure told in one line that names the package.
# KOBU_APT_PAUSE: seconds between tries of apt-get update (default 10).

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# The first error apt-get printed ("E: ..."), without its "E: ", else its last line.
apt_error() {
  local line
  line=$(grep -m1 '^E: ' <<<"$1") || line=$(tail -n 1 <<<"$1")
  printf '%s' "${line#E: }"
}

# Updates the package lists, up to three times.  A list that still cannot be
# fetched does not end the run: the packages may come from the others.  The
# last error stays in apt_update_error; false when no try succeeded.
apt_update_error=
apt_update() {
  local try out
  for try in 1 2 3; do
    if out=$(as_root apt-get update -qq 2>&1); then
      apt_update_error=
      return 0
    fi
    apt_update_error=$(apt_error "$out")
    [ "$try" -lt 3 ] && sleep "${KOBU_APT_PAUSE:-10}"
  done
  echo "apt-get update failed three times ($apt_update_error); going on with the lists there are" >&2
  return 1
}

# Installs the packages given; on failure the first one apt-get cannot
# install, with the cause, goes to apt_install_error (and false is returned).
apt_install_error=
apt_install() {
  local out p
  out=$(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" 2>&1) && return 0
  apt_install_error="$*: $(apt_error "$out")"
  for p in "$@"; do
    if ! out=$(apt-get install -s -qq "$p" 2>&1); then
      apt_install_error="$p: $(apt_error "$out")"
      break
    fi
  done
  return 1
}
