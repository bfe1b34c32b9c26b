# The benchmark data, sourced by bench/peers (needs $work).
#
# Real, versioned data: five successive releases of the typescript package,
# fetched with `npm pack` (npm checks each tarball against the registry's
# integrity hash) and kept in a cache folder, so later runs need no network.
# Each release is one version of the same tree; lib/typescript.js of each
# release is the single-file series.
releases=(5.4.2 5.4.3 5.4.4 5.4.5 5.5.2)
package=typescript
big_file=lib/typescript.js
cache=${QUILLMARK_BENCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmark-bench}

# Unpacks release I (1-based) of the package into $work/releases/I.
fetch_releases() {
  mkdir -p "$cache"
  local i=0 v tgz
  for v in "${releases[@]}"; do
    i=$((i + 1))
    tgz="$cache/$package-$v.tgz"
    if [ ! -s "$tgz" ]; then
      echo "bench: fetching $package@$v with npm pack" >&2
      (cd "$cache" && npm_config_cache="$work/npm-cache" npm pack --silent "$package@$v" >/dev/null)
    fi
    rm -rf "$work/releases/$i"
    mkdir -p "$work/releases/$i"
    tar xzf "$tgz" -C "$work/releases/$i" --strip-components=1
  done
}

# The office-like documents, versions 1..5, in $work/office/vI (generated
# with a fixed seed, the same bytes every time; cached like the releases).
make_office() {
  local script tgz
  script="$(dirname "${BASH_SOURCE[0]}")/office.pl"
  # Named after the generator's checksum: a changed generator makes new data.
  tgz="$cache/office-$(md5sum < "$script" | cut -c1-12).tar"
  if [ ! -s "$tgz" ]; then
    echo "bench: generating office-like documents" >&2
    rm -rf "$work/office-gen"
    perl "$script" "$work/office-gen" 5
    tar cf "$tgz.part" -C "$work/office-gen" . && mv "$tgz.part" "$tgz"
    rm -rf "$work/office-gen"
  fi
  rm -rf "$work/office"
  mkdir -p "$work/office"
  tar xf "$tgz" -C "$work/office"
}

# Bytes in the files below a folder (or of one file).
tree_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }

# The many-small-files series, versions 1..5, in $work/small/vI: version 1
# is a copy of $small_tree (default /usr/include) holding its regular files
# only (links, and the folders they leave empty, are left out: the tools
# treat them differently), each later version the one before with small.pl's
# edits (seed 20261207 + I).
small_tree=${QUILLMARK_BENCH_SMALL_TREE:-/usr/include}
make_small() {
  local script i
  script="$(dirname "${BASH_SOURCE[0]}")/small.pl"
  rm -rf "$work/small"
  mkdir -p "$work/small"
  cp -a "$small_tree" "$work/small/v1"
  find "$work/small/v1" -type l -delete
  find "$work/small/v1" -depth -type d -empty -delete
  for i in 2 3 4 5; do
    cp -a "$work/small/v$((i - 1))" "$work/small/v$i"
    perl "$script" "$work/small/v$i" $((20261207 + i))
  done
}
