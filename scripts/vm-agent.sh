#!/bin/bash
# The Wine machine's agent (scripts/wine-vm): the guest's first process hands over to it from the request folder,
# where the host puts the current copy at every start. It mounts the project folder at the host's own path, so every
# path and every Z:\ path means the same file on both sides, then runs the requests that the host leaves in the
# request folder, each with its output, its error output and its exit code written back beside it. It powers off
# when asked.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
hostname kelvo-wine-vm
project=$(sed -n 's/.*kelvo_project=\([^ ]*\).*/\1/p' /proc/cmdline)
io=/kelvo-io
mkdir -p "$project"
# With a cache: Wine maps the programs it runs into memory, which fails on a 9p mount without one (and with the
# "mmap" cache too); the host's requests drop the cache first, so it never serves an old file.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose project "$project"
mkdir -p "$io/requests" "$io/running"
echo "$(cut -d' ' -f1 /proc/uptime)" >"$io/ready"

# The host kicks the guest's second serial port once for every request it leaves, so the agent sleeps on that port
# instead of looking into the request folder 20 times a second, which cost a sixth of an emulated processor. It still
# looks once a second, so that a kick that came before the port was opened loses no request.
stty -F /dev/ttyS1 raw -echo 2>/dev/null
exec 7</dev/ttyS1
while [ ! -e "$io/poweroff" ]; do
    for request in "$io"/requests/*.sh; do
        [ -e "$request" ] || continue
        # A request that says the host changed the project folder (scripts/wine-vm) makes the guest forget the names
        # and attributes it keeps of it before this request or any later one (they sort after it) looks there; the
        # pages of files no program holds go with their names, while those that Wine's running programs map stay.
        read -r first <"$request" && [ "$first" = "#forget" ] && echo 2 >/proc/sys/vm/drop_caches
        id=${request##*/} id=${id%.sh}
        mv "$request" "$io/running/$id.sh" || continue
        (
            # Read by a subshell of the agent, not by a new bash: one process start fewer for every request.
            (cd / && . "$io/running/$id.sh") >"$io/running/$id.out" 2>"$io/running/$id.err" </dev/null
            status=$?
            # What the command wrote into the project folder reaches the host before the host reads it; the
            # guest's own disk, where the prefixes are, needs no flush for that. The exit code comes last, in one
            # write, which the host waits for.
            sync -f "$project"
            echo $status >"$io/running/$id.rc"
        ) &
    done
    read -r -t 1 -u 7 || true
done
wait
sync
umount "$project" "$io"
echo 1 >/proc/sys/kernel/sysrq
echo o >/proc/sysrq-trigger
sleep 60
