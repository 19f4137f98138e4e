#!/usr/bin/env bash
# Starts a CUPS server of the project's own (when none answers) with one PDF queue, for the
# printing tests, and prints the settings the tests need:
#   eval "$(scripts/cups-test-server.sh start)"   ->  CUPS_SERVER, DORYOU_PDF_QUEUE, DORYOU_PDF_OUT
#   scripts/cups-test-server.sh stop
# The server runs from a private folder with its own socket, so it touches no system printer.
set -euo pipefail

root=${DORYOU_CUPS_ROOT:-/tmp/doryou-cups}
sock="$root/cups.sock"
queue=DoryouPDF

# lpstat -r answers 0 either way; its words tell.
running() { lpstat -h "$sock" -r 2>/dev/null | grep -q 'scheduler is running'; }

stop() {
  if [ -f "$root/cupsd.pid" ]; then
    kill "$(cat "$root/cupsd.pid")" 2>/dev/null || true
    rm -f "$root/cupsd.pid"
  fi
}

case "${1:-start}" in
stop) stop; exit 0 ;;
start) ;;
*) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac

if ! command -v cupsd >/dev/null || [ ! -x /usr/lib/cups/backend/cups-pdf ]; then
  echo "cups-test-server: cupsd or the cups-pdf backend is not installed" >&2
  exit 1
fi

if ! running; then
  stop
  mkdir -p "$root"/{spool,cache,state,log,tmp,ppd,out}
  chmod 0755 "$root"
  cat > "$root/cups-files.conf" <<CONF
ServerRoot $root
RequestRoot $root/spool
CacheDir $root/cache
StateDir $root/state
TempDir $root/tmp
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
SystemGroup root
FileDevice No
CONF
  cat > "$root/cupsd.conf" <<CONF
Listen $sock
LogLevel warn
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  : > "$root/printers.conf"
  # Detached from our output, so a caller that reads it is not held open by the server.
  setsid cupsd -c "$root/cupsd.conf" -s "$root/cups-files.conf" -f </dev/null >"$root/log/cupsd.out" 2>&1 &
  echo $! > "$root/cupsd.pid"
  for _ in $(seq 1 50); do
    running && break
    sleep 0.1
  done
  running || { echo "cups-test-server: cupsd did not start" >&2; cat "$root/log/error_log" >&2 || true; exit 1; }
fi

# The filters run as an unprivileged user and need somewhere to write (pdftops copies the job
# there); also for a server started before this line was added.
chmod 1777 "$root/tmp"

if ! lpstat -h "$sock" -p "$queue" >/dev/null 2>&1; then
  ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null || true)
  lpadmin -h "$sock" -p "$queue" -E -v cups-pdf:/ ${ppd:+-P "$ppd"} -o printer-error-policy=abort-job 2>/dev/null
  cupsenable -h "$sock" "$queue" 2>/dev/null || true
  cupsaccept -h "$sock" "$queue" 2>/dev/null || true
fi

echo "export CUPS_SERVER=$sock DORYOU_PDF_QUEUE=$queue"
