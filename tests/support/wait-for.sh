# Sourced by the end-to-end scripts.
# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails when SECONDS have passed without.
wait_for() {
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    tries=$((tries - 1))
    ((tries > 0)) || return 1
    sleep 0.1
  done
}
