# The sweep of chunk settings behind `quillmark init`'s defaults, sourced by
# bench/peers --chunks.
#
# Two data sets, five versions each: the package releases (a tree of
# JavaScript and declarations) and the office-like documents. For every
# setting a new vault takes all five versions of one data set; the figures
# are the dedup ratio (input bytes over the vault's bytes: database and
# containers) and the check-in rate over all five versions.
#
# The check-ins run under eatmydata: the two fsyncs each file's check-in
# ends with cost the same at every setting and, on a virtual disk, vary more
# than the settings differ. bench/peers without --chunks keeps them.
#
# Speed is measured two ways: wall-clock MB/s, and MB per CPU second (user
# and system time of every process of the check-ins). The choice goes by the
# second: it is what a setting costs, and it hardly moves when other work
# shares the machine, while the wall-clock rate of one and the same setting
# can move by a third between runs on a busy two-core machine.
#
# First a grid of minimum and anchor (the average chunk is about their sum)
# with a maximum of 256 KiB (512 KiB for the two largest averages), window
# 32; then, at the grid's choice, the maximum and the window. The rule: of
# the settings whose dedup ratio is within 5 % of the best on both data
# sets, the fastest over both; CPU rates within 2 % of that count as equally
# fast (two runs of the sweep differ by that much), and of those the best
# dedup wins.

sweep_sets=(releases office)

# sweep_source SET I: the folder holding version I.
sweep_source() {
  if [ "$1" = releases ]; then echo "$work/releases/$2"; else echo "$work/office/v$2"; fi
}

# sweep_one SET MIN MAX WINDOW ANCHOR: one vault, five versions; records the
# figures under the setting's name.
sweep_one() {
  local set=$1 key="$2:$3:$4:$5" repo=$work/sweep-vault i secs=0 cpu=0 bytes=0 src
  rm -rf "$repo"
  QM_INIT_ARGS="--chunk-min $2 --chunk-max $3 --chunk-window $4 --chunk-anchor $5" \
    "$peers_dir/tool" quillmark init "$repo"
  for i in 1 2 3 4 5; do
    src=$(sweep_source "$set" "$i")
    timed "$peers_dir/tool" quillmark-nosync backup "$repo" "$src" "$i"
    secs=$(awk -v a="$secs" -v b="$SECS" 'BEGIN { print a + b }')
    cpu=$(awk -v a="$cpu" -v b="$CPU_SECS" 'BEGIN { print a + b }')
    bytes=$((bytes + $(tree_bytes "$src")))
  done
  local stored chunks data
  stored=$(tree_bytes "$repo")
  data=$(tree_bytes "$repo/data")
  chunks=$("$bin/quillmark" --db "$repo/quillmark.db" info | awk '/Stored chunks/ { print $3 }')
  record "$set" "$key" secs "$secs"
  record "$set" "$key" cpu "$cpu"
  record "$set" "$key" rate "$(rate "$bytes" "$secs")"
  record "$set" "$key" cpu_rate "$(rate "$bytes" "$cpu")"
  record "$set" "$key" dedup "$(awk -v a="$bytes" -v b="$stored" 'BEGIN { printf "%.3f", a / b }')"
  record "$set" "$key" chunk "$(( data / (chunks > 0 ? chunks : 1) ))"
  record "$set" "$key" bytes "$bytes"
  rm -rf "$repo"
}

# sweep_big MIN MAX WINDOW ANCHOR: one new vault, one check-in of a large
# file of random bytes. Not part of the rule (the sets above hold no file
# over 9 MB): it shows what a setting costs per chunk where nothing else
# does, as for a video or a disk image.
sweep_big() {
  local key="$1:$2:$3:$4" repo=$work/sweep-vault
  rm -rf "$repo"
  QM_INIT_ARGS="--chunk-min $1 --chunk-max $2 --chunk-window $3 --chunk-anchor $4" \
    "$peers_dir/tool" quillmark init "$repo"
  timed "$peers_dir/tool" quillmark-nosync backup "$repo" "$work/big.bin" 1
  record big "$key" rate "$(rate "$(stat -c %s "$work/big.bin")" "$SECS")"
  rm -rf "$repo"
}

# sweep SETTING...: every setting on both sets, the runs interleaved.
sweep() {
  local s set
  for run in $(seq 1 "$runs"); do
    for s in "$@"; do
      for set in "${sweep_sets[@]}"; do
        echo "bench: run $run/$runs, $set, $s" >&2
        # shellcheck disable=SC2046 # the four numbers
        sweep_one "$set" $(echo "$s" | tr ':' ' ')
      done
      # shellcheck disable=SC2046
      sweep_big $(echo "$s" | tr ':' ' ')
    done
  done
}

# The settings measured so far, one a line: KEY, then per set its median
# dedup, wall-clock rate, CPU rate and chunk size, then both rates over both
# sets (all bytes over all seconds, each set's median seconds), then the
# large file's rate.
sweep_table() {
  local key set line
  for key in $(awk '$1 != "big" { print $2 }' "$results" | sort -u); do
    line=$key
    local bytes_all=0 secs_all=0 cpu_all=0
    for set in "${sweep_sets[@]}"; do
      line="$line $(median "$set" "$key" dedup) $(median "$set" "$key" rate)"
      line="$line $(median "$set" "$key" cpu_rate) $(median "$set" "$key" chunk)"
      bytes_all=$((bytes_all + $(median "$set" "$key" bytes)))
      secs_all=$(awk -v a="$secs_all" -v b="$(median "$set" "$key" secs)" 'BEGIN { print a + b }')
      cpu_all=$(awk -v a="$cpu_all" -v b="$(median "$set" "$key" cpu)" 'BEGIN { print a + b }')
    done
    echo "$line $(rate "$bytes_all" "$secs_all") $(rate "$bytes_all" "$cpu_all") $(median big "$key" rate)"
  done
}

# The rule, on sweep_table's lines: prints the chosen KEY.
choose() {
  awk '
    { key[NR] = $1; d1[NR] = $2; d2[NR] = $6; r[NR] = $11
      if ($2 > best1) best1 = $2; if ($6 > best2) best2 = $6 }
    function near(i) { return d1[i] >= 0.95 * best1 && d2[i] >= 0.95 * best2 }
    END {
      for (i = 1; i <= NR; i++) if (near(i) && r[i] > fastest) fastest = r[i]
      for (i = 1; i <= NR; i++) {
        if (!near(i) || r[i] < 0.98 * fastest) continue
        score = d1[i] / best1 + d2[i] / best2
        if (score > top || (score == top && r[i] > rate)) { top = score; rate = r[i]; chosen = key[i] }
      }
      print chosen }'
}

chunk_sweep() {
  fetch_releases
  make_office
  head -c $((128 << 20)) /dev/urandom > "$work/big.bin"
  local started=$SECONDS grid=() s
  for s in 1024:2039 1024:4093 2048:2039 2048:4093 2048:8191 4096:4093 4096:8191 \
           4096:16381 8192:8191 8192:16381 8192:32749 8192:49157 16384:16381 \
           16384:32749 16384:49157 32768:32749; do
    grid+=("${s%:*}:262144:32:${s#*:}")
  done
  grid+=(32768:524288:32:65521 65536:524288:32:65521)
  sweep "${grid[@]}"
  local first; first=$(sweep_table | choose)
  echo "bench: the grid chose $first; now its maximum and window" >&2

  local min max win anchor more=() m w
  IFS=: read -r min max win anchor <<< "$first"
  for m in 65536 131072 524288 1048576; do
    [ "$m" -ge $((4 * min)) ] && more+=("$min:$m:$win:$anchor")
  done
  for w in 16 24; do
    [ "$w" -le "$min" ] && more+=("$min:$max:$w:$anchor")
  done
  sweep "${more[@]}"
  echo "bench: $((SECONDS - started)) s of runs" >&2

  local chosen; chosen=$(sweep_table | choose)
  # init's defaults, as its help states them (min, max, window, anchor).
  local default
  default=$("$bin/quillmark" init --help |
    sed -n 's/.*--chunk-[a-z]* N=\([0-9]*\).*/\1/p' | paste -sd:)
  echo
  describe_machine
  describe_releases
  local office_total=0 i
  for i in 1 2 3 4 5; do office_total=$((office_total + $(tree_bytes "$work/office/v$i"))); done
  echo "         office = bench/peers.d/office.pl, seed 20240601:" \
    "$(find "$work/office/v1" -type f | wc -l)-$(find "$work/office/v5" -type f | wc -l)" \
    "text documents, $office_total bytes in 5 versions"
  echo "Medians of $runs runs; check-ins under eatmydata (fsync a no-op)."
  echo "dedup = input bytes / vault bytes; MB/s = wall clock, CPU = MB per CPU second,"
  echo "both over all five versions; chunk B = mean stored chunk; big = one new 128 MiB file"
  echo "of random bytes into an empty vault, MB/s (not part of the rule)."
  echo
  printf '%6s %7s %3s %6s | %-29s | %-29s | %-11s | %5s\n' "" "" "" "" releases office both big
  printf '%6s %7s %3s %6s | %5s %5s %5s %7s | %5s %5s %5s %7s | %5s %5s | %5s\n' \
    min max win anchor dedup MB/s CPU chunk dedup MB/s CPU chunk MB/s CPU MB/s
  sweep_table | sort -t: -k1,1n -k4,4n -k2,2n -k3,3n | awk -v c="$chosen" -v d="$default" '
    { best1 = best1 > $2 ? best1 : $2; best2 = best2 > $6 ? best2 : $6; line[NR] = $0 }
    END {
      for (i = 1; i <= NR; i++) {
        $0 = line[i]; split($1, k, ":")
        mark = ($2 >= 0.95 * best1 && $6 >= 0.95 * best2) ? "*" : " "
        note = ($1 == c ? " <- chosen" : "") ($1 == d ? " (default now)" : "")
        printf "%6d %7d %3d %6d | %5.2f %5.1f %5.1f %7d | %5.2f %5.1f %5.1f %7d | %5.1f %5.1f | %5.0f %s%s\n",
          k[1], k[2], k[3], k[4], $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, mark, note
      } }'
  echo
  echo "* = dedup within 5 % of the best on both sets; of those within 2 % of the"
  echo "fastest by CPU, the best dedup over both sets."
  echo "Chosen: min:max:window:anchor = $chosen"
}
