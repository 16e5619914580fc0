#!/usr/bin/env bash
# A private INN news server on 127.0.0.1 for the integration tests, with all its state in one
# short folder. Usage: test-service-inn.sh start|stop|status
#
# Ports (loopback only):
#   11119  innd: posting without a login; nnrpd behind it offers STARTTLS
#   11120  nnrpd: reading and posting only after AUTHINFO (users in a ckpasswd file)
#   11563  nnrpd: TLS on connect, certificate for "localhost" and 127.0.0.1
#   11564  nnrpd: TLS on connect, certificate for another host name (must be refused)
# The tests read $K32_INN_DIR/env (ports, CA file, user, groups); without it they skip, or fail
# when K32_REQUIRE_INN=1 (set by scripts/run-tests.sh once this script has started the server).
set -euo pipefail

dir=${K32_INN_DIR:-/tmp/k32inn}
here=$(cd "$(dirname "$0")" && pwd)
port_open=11119
port_auth=11120
port_tls=11563
port_wrong=11564
groups=(k32.test k32.test.two k32.binaries)
user=poster
password=k32-secret-pw

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -E"
bin=/usr/lib/news/bin
as_news() { $sudo env INNCONF="$dir/etc/inn.conf" setpriv --reuid=news --regid=news --init-groups -- "$@"; }

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

wait_port() {
  for _ in $(seq 1 100); do
    listening "$1" && return 0
    sleep 0.1
  done
  echo "INN: nothing listens on port $1" >&2
  return 1
}

write_inn_conf() {  # FILE CERT KEY
  cat > "$1" <<EOF
domain:           localdomain
pathhost:         k32.test.server
mta:              "/bin/true %s"
mailcmd:          /bin/true
organization:     "Kavrin/32 tests"
ovmethod:         tradindexed
hismethod:        hisv6
bindaddress:      127.0.0.1
bindaddress6:     "::1"
port:             $port_open
nnrpdpostport:    $port_open
pathnews:         /usr/lib/news
pathbin:          /usr/lib/news/bin
pathcontrol:      /usr/lib/news/bin/control
pathfilter:       /etc/news/filter
pathetc:          $dir/etc
pathdb:           $dir/db
pathrun:          $dir/run
pathlog:          $dir/log
pathspool:        $dir/spool
patharticles:     $dir/spool/articles
pathoverview:     $dir/spool/overview
pathincoming:     $dir/spool/incoming
pathoutgoing:     $dir/spool/outgoing
patharchive:      $dir/spool/archive
pathtmp:          $dir/tmp
pathhttp:         $dir/http
enableoverview:   true
storeonxref:      true
wireformat:       true
maxconnections:   100
nnrpdloadlimit:   0
doinnwatch:       false
docnfsstat:       false
htmlstatus:       false
logcycles:        1
pgpverify:        false
artcutoff:        10
maxartsize:       0
localmaxartsize:  0
initialtimeout:   30
clienttimeout:    600
backoffauth:      false
readertrack:      false
keywords:         false
tlscertfile:      $2
tlskeyfile:       $3
EOF
}

make_certs() {
  local t=$dir/tls
  mkdir -p "$t"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 -subj "/CN=Kavrin32 Test CA" \
    -keyout "$t/ca.key" -out "$t/ca.pem" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  make_leaf() {  # NAME SAN
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=$1" -keyout "$t/$1.key" -out "$t/$1.csr" \
      2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$2" \
      > "$t/$1.ext"
    openssl x509 -req -in "$t/$1.csr" -CA "$t/ca.pem" -CAkey "$t/ca.key" -CAcreateserial \
      -days 30 -extfile "$t/$1.ext" -out "$t/$1.pem" 2>/dev/null
  }
  make_leaf localhost "DNS:localhost,IP:127.0.0.1"
  make_leaf other.invalid "DNS:other.invalid"
  chmod 600 "$t"/*.key
}

write_configs() {
  mkdir -p "$dir"/{etc,db,run,log,tmp,http} \
    "$dir"/spool/{articles,overview,incoming,outgoing,archive} "$dir/spool/incoming/bad"
  write_inn_conf "$dir/etc/inn.conf" "$dir/tls/localhost.pem" "$dir/tls/localhost.key"
  write_inn_conf "$dir/etc/inn-other.conf" "$dir/tls/other.invalid.pem" \
    "$dir/tls/other.invalid.key"
  for f in newsfeeds storage.conf expire.ctl control.ctl control.ctl.local distrib.pats \
    distributions moderators localgroups nocem.ctl innfeed.conf ovsqlite.conf buffindexed.conf \
    cycbuff.conf inn-secrets.conf; do
    [ -f "/etc/news/$f" ] && cp "/etc/news/$f" "$dir/etc/$f"
  done
  # No peers: every connection to innd is a reader and poster handed to nnrpd.
  : > "$dir/etc/incoming.conf"
  printf 'ME:*::\n' > "$dir/etc/newsfeeds"
  printf 'method tradspool {\n    newsgroups: *\n    class: 0\n}\n' > "$dir/etc/storage.conf"
  printf '%s:%s\n' "$user" "$(openssl passwd -6 "$password")" > "$dir/etc/passwd.k32"
  cat > "$dir/etc/readers.conf" <<EOF
auth "loopback" {
    hosts: "127.0.0.1, ::1, localhost"
    auth: "ckpasswd -f $dir/etc/passwd.k32"
    default: "<open>"
}
access "loopback" {
    users: "*"
    newsgroups: "*"
    access: "RP"
}
EOF
  cat > "$dir/etc/readers-auth.conf" <<EOF
auth "users" {
    hosts: "127.0.0.1, ::1, localhost"
    auth: "ckpasswd -f $dir/etc/passwd.k32"
}
access "users" {
    users: "$user"
    newsgroups: "*"
    access: "RP"
}
EOF
  for g in control control.cancel control.checkgroups control.newgroup control.rmgroup junk; do
    printf '%s 0000000000 0000000001 n\n' "$g"
  done > "$dir/db/active"
  : > "$dir/db/active.times"
  : > "$dir/db/newsgroups"
  : > "$dir/db/history"
  chown -R news:news "$dir"
  as_news "$bin/makedbz" -i -o -s 100000 -f "$dir/db/history"
}

start() {
  "$here/inn-install.sh"
  if [ -f "$dir/env" ] && listening $port_open && listening $port_auth && listening $port_tls \
    && listening $port_wrong; then
    return 0
  fi
  stop || return 1
  for p in $port_open $port_auth $port_tls $port_wrong; do
    if listening "$p"; then echo "INN: port $p is taken by another program" >&2; return 1; fi
  done
  $sudo rm -rf "$dir"
  mkdir -p "$dir"
  make_certs
  write_configs
  chown -R news:news "$dir"
  as_news "$bin/innd" 2>>"$dir/log/start.err" ||
    { cat "$dir/log/start.err" >&2; return 1; }
  wait_port $port_open
  for _ in $(seq 1 50); do as_news "$bin/ctlinnd" -t 5 mode >/dev/null 2>&1 && break; sleep 0.1; done
  for g in "${groups[@]}"; do as_news "$bin/ctlinnd" -s newgroup "$g" y k32-tests; done
  as_news "$bin/nnrpd" -D -4 127.0.0.1 -p $port_auth -c "$dir/etc/readers-auth.conf"
  as_news "$bin/nnrpd" -D -S -4 127.0.0.1 -p $port_tls
  $sudo env INNCONF="$dir/etc/inn-other.conf" setpriv --reuid=news --regid=news --init-groups \
    -- "$bin/nnrpd" -D -S -4 127.0.0.1 -p $port_wrong
  wait_port $port_auth
  wait_port $port_tls
  wait_port $port_wrong
  cat > "$dir/env.tmp" <<EOF
K32_INN_HOST=127.0.0.1
K32_INN_PORT=$port_open
K32_INN_AUTH_PORT=$port_auth
K32_INN_TLS_PORT=$port_tls
K32_INN_WRONG_HOST_PORT=$port_wrong
K32_INN_CA=$dir/tls/ca.pem
K32_INN_USER=$user
K32_INN_PASSWORD=$password
K32_INN_GROUPS=${groups[*]}
EOF
  chmod 644 "$dir/env.tmp"
  mv "$dir/env.tmp" "$dir/env"
  echo "INN test server running on 127.0.0.1 (ports $port_open-$port_auth, $port_tls-$port_wrong)"
}

# PIDs of every INN process of this instance: the ones whose INNCONF points into $dir.
instance_pids() {
  local pid
  for pid in $(pgrep -u news 2>/dev/null || true); do
    if $sudo cat "/proc/$pid/environ" 2>/dev/null | tr '\0' '\n' | grep -q "^INNCONF=$dir/"; then
      echo "$pid"
    fi
  done
}

stop() {
  rm -f "$dir/env"
  if [ -f "$dir/etc/inn.conf" ]; then
    as_news "$bin/ctlinnd" -t 5 shutdown "tests done" >/dev/null 2>&1 || true
  fi
  # The standalone nnrpd daemons and per-connection children outlive innd: end them by PID.
  local pids
  for _ in $(seq 1 30); do
    pids=$(instance_pids)
    [ -z "$pids" ] && return 0
    # shellcheck disable=SC2086
    $sudo kill $pids 2>/dev/null || true
    sleep 0.1
  done
  echo "INN: processes $pids did not end" >&2
  return 1
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) [ -f "$dir/env" ] && listening $port_open && cat "$dir/env" ;;
  *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
