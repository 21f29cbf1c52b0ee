#!/bin/bash
# Character error rate against signal-to-noise ratio for the RTTY demodulators, beside
# minimodem's own decoder and fldigi where they are installed, and the plot docs/rtty_cer.png
# (gnuplot).
#
# The signal is made by minimodem (RTTY 45.45 baud, 170 Hz shift, centre 1000 Hz, mark upper,
# 1.5 stop bits) from a fixed pseudo-random text of about 1200 characters; white noise is added
# with a fixed seed, the SNR measured with the noise in 3000 Hz. Every decoder reads the same
# files; its text is scored by edit distance against what was sent (line ends normalised), so
# characters printed from noise before and after the transmission count as errors.
#
# PSK31: the fldigi-made BPSK31 and QPSK31 files of the shared test data with white noise added
# (fixed seed, SNR with the noise in 2500 Hz), decoded by both Vexa demodulators and, where it is
# installed, by fldigi itself through scripts/rx_quality/fldigi_rx.py (real time, several files
# side by side); the plot is docs/psk31_cer.png.
#
#   scripts/rx_quality.sh [BUILD_DIR] [rtty|psk31|all]
#       (default build and all; needs vexa-cli, python3, minimodem for RTTY, the shared test
#       data for PSK31 in VEXA_TESTDATA_DIR or ../shared/testdata)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${1:-$root/build}/bin/vexa-cli
[ -x "$cli" ] || { echo "rx_quality: no $cli (build vexa-cli first)" >&2; exit 1; }
what=${2:-all}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rtty() {
command -v minimodem >/dev/null || { echo "rx_quality: minimodem is needed to make the signal" >&2; exit 1; }

python3 - "$work/text.txt" <<'PY'
import random, sys
random.seed(7)
words = ("CQ DE W1AW K2ABC TEST 599 NAME QTH RIG ANT WX TNX FER QSO 73 GL ES UR RST HW CPY BOB "
         "ALBANY NY 100W DIPOLE SUNNY 21C QSL VIA BURO 1/2 3-4 5NN ? . , : ( )").split()
lines = [' '.join(random.choice(words) for _ in range(8)) for _ in range(40)]
open(sys.argv[1], 'w').write('\n'.join(lines) + '\n')
PY
sed 's/$/\r/' "$work/text.txt" | minimodem --tx rtty -R 11025 -M 1085 -S 915 -v 0.5 -f "$work/tx.wav"
python3 - "$work/tx.wav" "$work/clean.wav" <<'PY'
import sys, wave
w = wave.open(sys.argv[1]); pad = b'\0\0' * (w.getframerate() // 2)
o = wave.open(sys.argv[2], 'w'); o.setparams(w.getparams())
o.writeframes(pad + w.readframes(w.getnframes()) + pad); o.close()
PY

out="$root/docs/rtty_cer.tsv"
local snrs="-2 -4 -5 -6 -7 -8 -9 -10 -12"
: > "$work/jobs"
for snr in $snrs; do
  f="$work/n$snr.wav"
  python3 "$here/rx_quality/add_noise.py" "$work/clean.wav" "$snr" 3 "$f"
  # fldigi: 170 Hz shift, 45.45 baud, unshift on space, as the others read it.
  echo "RTTY 1000 $f $f.fldigi RTTYSHIFT=3 RTTYBAUD=1 UOSRX=1" >> "$work/jobs"
done
local have_fldigi=0
if python3 "$here/rx_quality/fldigi_rx.py" --parallel 5 "$work/jobs"; then have_fldigi=1; fi
printf "snr_db\tclassic\tbest\tminimodem\tfldigi\n" > "$out"
for snr in $snrs; do
  f="$work/n$snr.wav"
  "$cli" rx --mode rtty --unshift-on-space "$f" > "$f.classic"
  "$cli" rx --mode rtty --unshift-on-space --demod best "$f" > "$f.best"
  minimodem --rx rtty -M 1085 -S 915 -q -f "$f" > "$f.mm" 2>/dev/null || true
  local fl="nan"
  if [ $have_fldigi = 1 ] && [ -f "$f.fldigi" ]; then
    fl=$(python3 "$here/rx_quality/cer.py" "$work/text.txt" "$f.fldigi")
  fi
  printf "%s\t%s\t%s\t%s\t%s\n" "$snr" \
    "$(python3 "$here/rx_quality/cer.py" "$work/text.txt" "$f.classic")" \
    "$(python3 "$here/rx_quality/cer.py" "$work/text.txt" "$f.best")" \
    "$(python3 "$here/rx_quality/cer.py" "$work/text.txt" "$f.mm")" "$fl" >> "$out"
done
cat "$out"
if command -v gnuplot >/dev/null; then
  gnuplot <<GP
set terminal pngcairo size 800,500 noenhanced
set output "$root/docs/rtty_cer.png"
set title "RTTY 45.45 Bd, 170 Hz: character error rate against SNR (noise in 3 kHz)"
set xlabel "SNR (dB)"; set ylabel "character error rate (%)"
set logscale y; set yrange [0.05:100]; set grid
set key top right
plot "$out" using 1:(\$2*100+0.06) with linespoints title "Vexa classic", \
     "$out" using 1:(\$3*100+0.06) with linespoints title "Vexa best", \
     "$out" using 1:(\$4*100+0.06) with linespoints title "minimodem", \
     "$out" using 1:(\$5*100+0.06) with linespoints title "fldigi"
GP
  echo "plot: docs/rtty_cer.png"
else
  echo "rx_quality: gnuplot is not installed, no plot" >&2
fi
}

psk31() {
data=${VEXA_TESTDATA_DIR:-$root/../shared/testdata}/audio
[ -f "$data/fldigi_bpsk31.wav" ] || { echo "rx_quality: no PSK31 files in $data" >&2; exit 1; }
local out="$root/docs/psk31_cer.tsv" snrs="-8 -10 -12 -14 -16"
: > "$work/jobs"
for m in bpsk qpsk; do
  for snr in $snrs; do
    f="$work/$m$snr.wav"
    python3 "$here/rx_quality/add_noise.py" "$data/fldigi_${m}31.wav" "$snr" 3 "$f" 2500
    echo "${m^^}31 1000 $f $f.fldigi" >> "$work/jobs"
  done
done
local have_fldigi=0
if python3 "$here/rx_quality/fldigi_rx.py" --parallel 5 "$work/jobs"; then have_fldigi=1; fi
printf "snr_db\tbpsk_classic\tbpsk_best\tbpsk_fldigi\tqpsk_classic\tqpsk_best\tqpsk_fldigi\n" > "$out"
for snr in $snrs; do
  row="$snr"
  for m in bpsk qpsk; do
    f="$work/$m$snr.wav"; mode=psk31; [ $m = qpsk ] && mode=qpsk
    "$cli" rx --mode $mode "$f" > "$f.classic"
    "$cli" rx --mode $mode --demod best "$f" > "$f.best"
    row="$row\t$(python3 "$here/rx_quality/cer.py" "$data/fldigi_${m}31.txt" "$f.classic")"
    row="$row\t$(python3 "$here/rx_quality/cer.py" "$data/fldigi_${m}31.txt" "$f.best")"
    if [ $have_fldigi = 1 ] && [ -f "$f.fldigi" ]; then
      row="$row\t$(python3 "$here/rx_quality/cer.py" "$data/fldigi_${m}31.txt" "$f.fldigi")"
    else
      row="$row\tNaN"
    fi
  done
  printf "%b\n" "$row" >> "$out"
done
cat "$out"
if command -v gnuplot >/dev/null; then
  gnuplot <<GP
set terminal pngcairo size 800,500 noenhanced
set output "$root/docs/psk31_cer.png"
set title "PSK31 (fldigi's signal): character error rate against SNR (noise in 2.5 kHz)"
set xlabel "SNR (dB)"; set ylabel "character error rate (%)"
set logscale y; set yrange [0.3:100]; set grid
set key top right
plot "$out" using 1:(\$2*100+0.4) with linespoints title "BPSK Vexa classic", \
     "$out" using 1:(\$3*100+0.4) with linespoints title "BPSK Vexa best", \
     "$out" using 1:(\$4*100+0.4) with linespoints title "BPSK fldigi", \
     "$out" using 1:(\$5*100+0.4) with linespoints dt 2 title "QPSK Vexa classic", \
     "$out" using 1:(\$6*100+0.4) with linespoints dt 2 title "QPSK Vexa best", \
     "$out" using 1:(\$7*100+0.4) with linespoints dt 2 title "QPSK fldigi"
GP
  echo "plot: docs/psk31_cer.png"
fi
}

case $what in
  rtty) rtty ;;
  psk31) psk31 ;;
  *) rtty; psk31 ;;
esac
