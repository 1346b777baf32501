#!/usr/bin/env bash
# Builds the libFuzzer targets (3107A and 3108A receive paths, 3107A and
# 1586A data files, 1586A reply lines, the
# temperature-source replies, the 5310A notification reassembly, the INI
# files, the restore of a chosen database, the mail replies) with clang
# (address and undefined-behaviour sanitizers) in their own build tree and
# runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS [TARGET...]]   default 60 s for every target;
#                                      0 builds the targets only
#   (targets: 3107a_receive 3107a_datafile 3108a_receive 1586a_lines
#    source_reply 5310a_notify working_files ini_files restore mail_reply)
#
# Environment: ARQ_FUZZ_BUILD (build tree, default build-fuzz). The corpus
# grows in $ARQ_FUZZ_BUILD/fuzz/corpus-<target>; a crash leaves its input
# as $ARQ_FUZZ_BUILD/fuzz/crash-<target>-*, reproduced by running the target
# with that file as its argument.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${ARQ_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(3107a_receive 3107a_datafile 3108a_receive 1586a_lines source_reply 5310a_notify working_files
  ini_files restore mail_reply)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DARQ_FUZZ=ON \
  -DARQ_BUILD_TESTS=OFF -DARQ_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice ninja -C "$build" -j2 "${targets[@]/#/fuzz_}"
# libFuzzer reads -max_total_time=0 as "no limit".
[[ $seconds == 0 ]] && exit 0

seed() { # corpus, name, printf text
  [[ -e "$1/$2" ]] || printf "$3" >"$1/$2"
}

status=0
for target in "${targets[@]}"; do
  corpus=$build/fuzz/corpus-$target
  mkdir -p "$corpus"
  case $target in
  3107a_receive)
    # Control byte, then replies: the probe answer, an identity, a write echo.
    seed "$corpus" probe '\x01\x01\x03\x01\x01\x88\x31'
    seed "$corpus" identity '\x21\x01\x03\x0a3107A00001\xce\x5d'
    seed "$corpus" echo '\x09\x01\x06\x00\x0e\x00\x03\x08\xa8'
    ;;
  3108a_receive)
    # Control byte, then the probe answer, an identity and a value reply.
    seed "$corpus" replies '\x0b\x01\x03\x01\x01\xb1\xf1\x01\x03\x0a3108A00001\x00\x00\x01\x03\x04\x00\x00\xc8\x41\x00\x00'
    ;;
  working_files)
    # Control byte (both channels, 1 s, ten intervals), then a working file.
    seed "$corpus" run '\x22Record,Time,Ch 101 (C),Ch 102 (C),Alarm 1,Alarm 2\n1,2024-03-05 10:00:00.000,20.1,20.2,0,0\n2,2024-03-05 10:00:01.000,20.3,20.4,0,0\n3,2024-03-05 10:00:02.000,20.5,20.6,0,0\n'
    ;;
  1586a_lines)
    seed "$corpus" lines '\x06FLUKE,1586A,1,1.00\r\n\n+2.500000E+01,+1.0E-03\r\n3\r\n'
    seed "$corpus" clock '\x40+2024,+3,+5\n+14,+7,+9.000\r\n'
    seed "$corpus" file '\x01Record,Time,Ch 101 (C),Ch 102 (V),Alarm Flags,Digital I/O\n1,2024-03-05 10:00:00.600,2.5E+01,1.0,0,0\n2,2024-03-05 10:00:01.600,2.6E+01,1.1,0,0\n'
    ;;
  source_reply)
    # Control byte (bit 0: bath framing), then what the source sent.
    seed "$corpus" dry '\x08KORVA-INST,KRDB-1,SN1,1.0\r\n25.00\r\n1\r\n'
    seed "$corpus" bath '\x05\nsn:LB1\r\n\nset: 25.01C\r\nr: 24.98 C\r\nst:1\r\n'
    ;;
  ini_files)
    # Control byte (bit 0: mail settings; bits 1-4: channels), then the file.
    seed "$corpus" mail '\x01[SMTP]\nHost=smtp.lab.example\nPort=587\nSender=alarm@lab.example\nAuthCode=abc\nDisplayName=Lab\nStartTls=true\n'
    seed "$corpus" escapes '\x01[SMTP]\nHost="smtp\\tlab"\nSender=" a\\r\\nb "\nPort=70000\n'
    seed "$corpus" config '\x06[Standardizer]\nA_C0=1.5, 2\nB_C1=0, -1e-3\nB2="3", 4\nMX_B_M=1, 1\nMX_B_B=0, 0\n'
    ;;
  mail_reply)
    # Control byte (bit 0: a dialogue; bit 1: two recipients), then replies
    # separated by NUL bytes; without bit 0 one reply for the code parser.
    seed "$corpus" code '\x00250-first\r\n250 ok\r\n'
    seed "$corpus" dialogue '\x01220 hi\r\n\000250-hi\r\n250 AUTH LOGIN PLAIN\r\n\000334 VXNlcm5hbWU6\r\n\000334 UGFzc3dvcmQ6\r\n\000235 ok\r\n\000250 ok\r\n\000250 ok\r\n\000354 go\r\n\000250 queued\r\n\000221 bye\r\n'
    seed "$corpus" refused '\x03220 hi\r\n\000250-a\r\n\000250 AUTH=LOGIN\r\n\000334 x\r\n\000334 y\r\n\000235 ok\r\n\000250 ok\r\n\000550 no such user\r\n\000250 reset\r\n\000250 ok\r\n\000250 ok\r\n\000354 go\r\n\000250 queued\r\n\000221 bye\r\n'
    seed "$corpus" plain '\x01220 hi\r\n\000250-hi\r\n250 AUTH PLAIN\r\n\000235 ok\r\n\000250 ok\r\n\000250 ok\r\n\000354 go\r\n\000250 queued\r\n\000221 bye\r\n'
    seed "$corpus" helo '\x01220 hi\r\n\000500 what\r\n\000250 ok\r\n\000221 bye\r\n'
    ;;
  restore)
    # A small database of the program's own schema, written by the target.
    [[ -e "$corpus/database" ]] || ARQ_FUZZ_WRITE_SEED="$corpus/database" "$build/fuzz/fuzz_restore"
    seed "$corpus" text 'SQLite format 3\000not really'
    ;;
  5310a_notify)
    # First notification 20 bytes, then 25: a reading frame cut after 20
    # bytes, then a frame of another kind.
    seed "$corpus" split '\x93\x17\x05\x00\x01\x00\x00\x00\x01\x57\x00\x42\xdb\x41\x0c\x00\x00\x00\x00\x41\xc8\x0a\xde\xcc\x0d\x16\x02\x00\x01\x00\x00\x00\x01\x57\x00\x42\xdb\x41\x0c\x00\x00\x00\x00\x41\xc8\x0a\xde\xcc\x0d'
    ;;
  *)
    seed "$corpus" file 'Time,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\n2024-03-05 10:00:00,1.5,2.25,3.125,4,5,6,7,8\n2024-03-05 10:00:01,11,12,13,14,15,16,17,18\n'
    ;;
  esac
  # A database of the program's schema does not fit in 4 KiB.
  maxlen=4096
  [[ $target == restore ]] && maxlen=16384
  echo "== fuzz_$target: $seconds s"
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=512 -max_len=$maxlen \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$build/fuzz/crash-$target-" "$corpus" || status=1
done
exit $status
