#!/usr/bin/env bash
# Prints labels through the default printer end to end: starts a private CUPS
# scheduler (configuration, spool and logs under the given work folder, its
# socket in a fresh temporary folder), adds a queue that keeps every job's PDF
# as a file and makes it the default, runs the batch on examples/workshop
# with label printing on, and checks the documents that arrive. Nothing of
# the machine's own printing setup is read or changed.
#
# Usage: default_printer_test.sh <tarvolin> <examples/workshop> <work folder>
# Exit 77 (skipped) when the scheduler or the PDF tools are not installed.
set -euo pipefail

exe=$1
example=$2
work=$3

for tool in cupsd lpadmin lpstat pdfinfo pdftotext; do
  command -v "$tool" >/dev/null || { echo "$tool not installed: skipped"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"/{conf,spool/tmp,cache,state,log,bin/backend,out,home,run}
sockdir=$(mktemp -d /tmp/tarvolin-cups.XXXXXX)
sock=$sockdir/cups.sock
pid=
cleanup() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$sockdir"
}
trap cleanup EXIT

# The scheduler runs the system's filters and our own backend.
for d in filter daemon cgi-bin monitor notifier driver; do
  [ -e "/usr/lib/cups/$d" ] && ln -s "/usr/lib/cups/$d" "$work/bin/$d"
done
cat >"$work/bin/backend/keepjob" <<'EOF'
#!/bin/sh
# Keeps each job's document as <folder>/job-<id>.pdf (device keepjob:<folder>).
if [ $# -eq 0 ]; then
  echo 'file keepjob "Unknown" "Keep each job as a file"'
  exit 0
fi
folder=${DEVICE_URI#keepjob:}
if [ $# -ge 6 ]; then cat "$6"; else cat; fi >"$folder/job-$1.tmp" &&
  mv "$folder/job-$1.tmp" "$folder/job-$1.pdf"
EOF
# Mode 0700 and owned by the scheduler's user: the backend runs with its rights.
chmod 0700 "$work/bin/backend/keepjob"

cat >"$work/conf/cupsd.conf" <<EOF
LogLevel warn
Listen $sock
Browsing Off
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat >"$work/conf/cups-files.conf" <<EOF
ServerRoot $work/conf
ServerBin $work/bin
DataDir /usr/share/cups
RequestRoot $work/spool
TempDir $work/spool/tmp
CacheDir $work/cache
StateDir $work/state
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
SystemGroup root
Sandboxing Relaxed
EOF

cupsd -f -c "$work/conf/cupsd.conf" -s "$work/conf/cups-files.conf" &
pid=$!

export CUPS_SERVER=$sock HOME=$work/home
unset PRINTER LPDEST
# lpstat -r exits 0 whether or not the scheduler is up: wait for its answer,
# and give up early if the scheduler has ended.
running=no
for _ in $(seq 1 300); do
  if [[ $(lpstat -r 2>/dev/null) == *"is running"* ]]; then
    running=yes
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ "$running" = yes ] || { echo "the private scheduler did not start"; cat "$work/log/error_log" 2>/dev/null; exit 1; }

# A queue that passes the application's PDF through unchanged.
lpadmin -p TarvolinLabels -E -v "keepjob:$work/out" -m raw 2>/dev/null
lpadmin -d TarvolinLabels
lpstat -d | grep -q TarvolinLabels || { echo "the test queue is not the default"; exit 1; }

cp "$example"/* "$work/run/"
# Label printing mode 1 on line 18 of the initial settings.
sed -i '18s/^0 /1 /' "$work/run/QM_Config.txt"
grep -q "^1 *PrintLabels" "$work/run/QM_Config.txt" || { echo "could not switch label printing on"; exit 1; }

status=0
(cd "$work/run" && QT_QPA_PLATFORM=offscreen "$exe" --console --yes >"$work/run/stdout.txt" 2>"$work/run/stderr.txt") || status=$?
if [ "$status" -ne 0 ]; then
  echo "the batch ended with status $status"
  cat "$work/run/stderr.txt"
  exit 1
fi

# One job per material with cut pieces: Steel RHS40x40, Alu 6060-30x30 and
# Steel IPE100 (Brass R20 has no stock).
expected=3
for _ in $(seq 1 900); do
  [ "$(find "$work/out" -name 'job-*.pdf' | wc -l)" -ge "$expected" ] && [ -z "$(lpstat -o)" ] && break
  sleep 0.1
done
jobs=$(find "$work/out" -name 'job-*.pdf' | sort -V)
count=$(printf '%s\n' "$jobs" | grep -c . || true)
if [ "$count" -ne "$expected" ]; then
  echo "expected $expected print jobs, got $count"
  cat "$work/log/error_log" 2>/dev/null || true
  exit 1
fi

# Each job is an A4 PDF whose text holds its material's labels. Mode 1 puts
# 36 labels on a page: 54 pieces take two pages, 28 and 16 one each.
materials=("Steel RHS40x40" "Alu 6060-30x30" "Steel IPE100")
pages_expected=(2 1 1)
i=0
for job in $jobs; do
  pdfinfo "$job" | grep -Eq "Page size: +595(\.[0-9]+)? x 842" || { echo "$job is not A4"; pdfinfo "$job"; exit 1; }
  pages=$(pdfinfo "$job" | awk '/^Pages:/ {print $2}')
  [ "$pages" -eq "${pages_expected[$i]}" ] || { echo "$job has $pages pages, expected ${pages_expected[$i]}"; exit 1; }
  text=$(pdftotext -layout "$job" -)
  grep -qF "${materials[$i]}" <<<"$text" || { echo "$job does not name ${materials[$i]}"; exit 1; }
  i=$((i + 1))
done
echo "default printer: $count jobs, A4, one per material"
