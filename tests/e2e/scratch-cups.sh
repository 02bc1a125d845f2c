# A print server of the test's own: Debian's cupsd with the cups-pdf virtual
# printer as the default destination, its whole configuration, spool and
# output in one scratch folder, listening on a port of 127.0.0.1 of its own.
# cupsd runs in a mount namespace of its own, where the cups-pdf backend's
# fixed configuration file is replaced by ours: nothing on the machine
# changes. Source this file, then:
#   cups_start FOLDER      starts it; exports CUPS_SERVER for the programs after
#   cups_pdfs              the PDF files the printer made so far
#   cups_stop              stops it
# Needs root (for the namespace), cups-daemon, cups-client, printer-driver-cups-pdf.

cups_start() {
  cups_dir=$1
  rm -rf "$cups_dir"
  mkdir -p "$cups_dir"/{root/ppd,spool,cache,state,log,out}
  mkdir -p -m 1777 "$cups_dir/tmp"
  chmod 755 "$cups_dir" "$cups_dir/root"
  chmod 1777 "$cups_dir/out"
  for port in $(seq 63170 63199); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { cups_port=$port; break; }
  done
  cat >"$cups_dir/root/cupsd.conf" <<CONF
Listen 127.0.0.1:$cups_port
LogLevel warn
Browsing Off
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
  cat >"$cups_dir/root/cups-files.conf" <<CONF
ServerRoot $cups_dir/root
RequestRoot $cups_dir/spool
CacheDir $cups_dir/cache
StateDir $cups_dir/state
TempDir $cups_dir/tmp
ErrorLog $cups_dir/log/error_log
AccessLog $cups_dir/log/access_log
PageLog $cups_dir/log/page_log
FileDevice Yes
Sandboxing Relaxed
CONF
  cat >"$cups_dir/cups-pdf.conf" <<CONF
Out $cups_dir/out
AnonDirName $cups_dir/out
Label 0
Grp root
CONF
  unshare --mount --propagation private sh -c \
    'mount --bind "$1/cups-pdf.conf" /etc/cups/cups-pdf.conf && exec cupsd -f -c "$1/root/cupsd.conf" -s "$1/root/cups-files.conf"' \
    sh "$cups_dir" >"$cups_dir/log/cupsd.out" 2>&1 &
  cups_pid=$!
  export CUPS_SERVER=127.0.0.1:$cups_port
  for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
  lpstat -r >/dev/null 2>&1 || { cat "$cups_dir/log/cupsd.out" "$cups_dir/log/error_log" 2>/dev/null; return 1; }
  # cups-pdf takes PostScript: the PDF jobs are turned into PostScript by
  # cairo, which keeps text as text (Ghostscript, the default, draws it).
  # A scheduler just started may still turn a connection away: a few tries.
  for _ in 1 2 3 4 5; do
    lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
      -o pdftops-renderer-default=pdftocairo &&
      lpadmin -d PDF && cupsenable PDF && cupsaccept PDF && return 0
    sleep 1
  done
  return 1
}

# The PDF files the printer wrote, oldest first.
cups_pdfs() {
  ls -tr "$cups_dir"/out/*.pdf 2>/dev/null
}

cups_stop() {
  [ -n "${cups_pid:-}" ] || return 0
  kill "$cups_pid" 2>/dev/null
  wait "$cups_pid" 2>/dev/null
  cups_pid=""
}
