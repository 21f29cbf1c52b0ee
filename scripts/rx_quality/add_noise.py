# Adds seeded white noise to a 16-bit mono WAV at a signal-to-noise ratio measured with the
# noise in 3000 Hz, or in BANDWIDTH_HZ when given (the signal power taken over the non-silent
# samples).
#   add_noise.py IN.wav SNR_DB SEED OUT.wav [BANDWIDTH_HZ]
import sys, wave, struct, random, math
inp, snr, seed, out = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
bw = float(sys.argv[5]) if len(sys.argv) > 5 else 3000.0
w = wave.open(inp); n = w.getnframes(); data = struct.unpack('<%dh' % n, w.readframes(n)); rate = w.getframerate()
sig = [x for x in data if x != 0]
p = sum(x*x for x in sig)/len(sig)
# noise power in bw Hz is p/10^(snr/10); white over 0..rate/2
sigma = math.sqrt(p / 10**(snr/10) * (rate/2) / bw)
random.seed(seed)
o = [max(-32767, min(32767, int(round(x + random.gauss(0, sigma))))) for x in data]
ww = wave.open(out, 'w'); ww.setnchannels(1); ww.setsampwidth(2); ww.setframerate(rate)
ww.writeframes(struct.pack('<%dh' % n, *o)); ww.close()
