# Shared settings of the project's scripts.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Test server: loopback only, SYSDBA with the program's built-in password.
FB_CONF=/etc/firebird/3.0/firebird.conf
FB_SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
FB_PIDFILE=/run/firebird3.0/coop-test-fbguard.pid
FB_HOST=127.0.0.1
FB_PORT=3050
FB_SYSDBA_PASSWORD=plumbrid

port_answers() {
  (exec 3<>"/dev/tcp/$FB_HOST/$FB_PORT") 2>/dev/null
}
