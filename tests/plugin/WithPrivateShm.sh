#!/bin/sh
# Runs a command with a /dev/shm of its own when the rights allow it (root, mount namespaces),
# else as it is. JACK keeps its registry of servers and its sockets in /dev/shm, and the
# registry has room for eight: on a machine where servers of other names have come and gone
# (killed servers leave their entries), a new server is refused with "Too many servers already
# active". In a private /dev/shm the servers a test starts meet no one else's.
if [ "$(id -u)" = 0 ] && unshare --mount --propagation private true 2>/dev/null; then
    exec unshare --mount --propagation private \
        sh -c 'mount -t tmpfs -o mode=1777 tmpfs /dev/shm && exec "$@"' sh "$@"
fi
exec "$@"
