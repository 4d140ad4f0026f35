#!/usr/bin/env bash
# Builds the Debian package of the command-line tool from the default build, unpacks it into a
# scratch root and runs the tool installed there: its version and the demo. Checks that the package
# holds the tool, its manual page and the README, and depends on shared libraries only.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
version=$(sed -n 's/^project(Quorvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="${build}/quorvane_${version}_amd64.deb"
rm -f "${deb}"
(cd "${build}" && cpack -G DEB >/dev/null)

root=$(mktemp -d)
trap 'rm -rf "${root}"' EXIT
dpkg -x "${deb}" "${root}"

fail() {
  echo "package check failed: $*" >&2
  exit 1
}

for f in usr/bin/quorvane usr/share/man/man1/quorvane.1.gz usr/share/doc/quorvane/README.md; do
  [ -s "${root}/${f}" ] || fail "${f} is not in ${deb}"
done
[ "$("${root}/usr/bin/quorvane" --version)" = "quorvane ${version}" ] || fail "--version"
gzip -dc "${root}/usr/share/man/man1/quorvane.1.gz" | grep -q 'one record per mismatched cell' ||
  fail "the manual page does not show the help of compare"
"${root}/usr/bin/quorvane" demo "${root}/demo" >/dev/null || fail "the installed demo"
[ -s "${root}/demo/quorvane-demo.reconciled.xlsx" ] || fail "the demo wrote no result"

depends=$(dpkg-deb -f "${deb}" Depends)
[ -n "${depends}" ] || fail "no dependencies found"
IFS=',' read -ra entries <<<"${depends}"
for entry in "${entries[@]}"; do
  name=$(echo "${entry}" | awk '{print $1}')
  case "${name}" in
    lib*) ;;
    *) fail "depends on ${name}, which is no shared library" ;;
  esac
done
echo "${deb}: installs and runs; depends on ${depends}"
