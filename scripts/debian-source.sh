#!/usr/bin/env bash
# Unpacks Debian's source package of a library at the very version of one of its installed
# packages, for the builds that compile the library themselves (Windows, WebAssembly): every
# build then runs the same code. Fetched with apt-get through a private source list, since the
# system's list may hold no source entries; Debian's archive is reachable wherever its packages
# are.
# Usage: scripts/debian-source.sh SOURCE-PACKAGE INSTALLED-PACKAGE FOLDER
# The source lands in FOLDER/source and is kept while the installed version stays the same.
set -eu
source_name=$1
installed=$2
dir=$3
version=$(dpkg-query -W -f='${Version}' "$installed")
[ "$(cat "$dir/version" 2>/dev/null)" = "$version" ] && [ -d "$dir/source" ] && exit 0
echo "== $source_name $version from Debian's sources =="
rm -rf "$dir" && mkdir -p "$dir/apt/lists/partial" "$dir/apt/archives/partial"
. /etc/os-release
codename=${VERSION_CODENAME:-bookworm}
{
  echo "deb-src http://deb.debian.org/debian $codename main"
  echo "deb-src http://deb.debian.org/debian $codename-updates main"
} >"$dir/apt/sources.list"
apt_private=(-o Dir::Etc::SourceList="$dir/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o Dir::State::Lists="$dir/apt/lists" -o Dir::Cache="$dir/apt"
  -o APT::Sandbox::User=root -o Debug::NoLocking=1)
apt-get "${apt_private[@]}" update -qq >/dev/null
(cd "$dir" && { apt-get "${apt_private[@]}" source -qq --download-only "$source_name=$version" ||
  apt-get "${apt_private[@]}" source -qq --download-only "$source_name"; } >/dev/null)
(cd "$dir" && dpkg-source -x --no-check ./"${source_name}"_*.dsc source >/dev/null)
echo "$version" >"$dir/version"
