#!/usr/bin/env python3
"""Objective quality of a decoded audio file against its source, for audio_quality.sh.

    audio_quality.py SOURCE.wav DECODED.wav

Both files are 16-bit PCM WAVE at the same sampling frequency. The decoded signal is aligned
with the source by the lag of the largest cross-correlation (a coder's delay, up to 1 s), then
compared channel by channel over the source's length:

  seg_snr  segmental SNR: per 20 ms frame 10 log10(source energy / error energy), each frame
           limited to [-10, 60] dB, averaged over the frames whose source is above -50 dBFS RMS.
  nmr      noise-to-mask ratio: 2048-point Hann frames (hop 1024) split into critical bands
           (1 Bark wide); the mask is the source's band energy spread over the Bark scale
           (Schroeder's spreading function) lowered by the masking offset of ITU-R BS.1387
           (3 dB up to 12 Bark, 0.25 z dB above), and never below the threshold in quiet
           (Terhardt, a full-scale sine's strongest line = 96 dB SPL). Reported: the mean over
           all frames and bands of noise / mask in dB (lower is better).
  nmr_tonal the same with the stricter offset of a tonal masker, 14.5 + z dB (Johnston), and
           the share of frames in which some band's noise exceeds that mask.

Prints one line:
"seg_snr=<dB> nmr=<dB> nmr_tonal=<dB> tonal_frames_over=<percent> delay=<samples>".
"""
import sys
import wave

import numpy as np


def read_wave(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise SystemExit(f"{path}: not 16-bit PCM")
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)
        return data.reshape(-1, w.getnchannels()), w.getframerate()


def find_delay(source, decoded, limit):
    """Lag (samples) by which decoded trails source, by FFT cross-correlation of the mono sums."""
    a = source.mean(axis=1)
    b = decoded.mean(axis=1)
    n = min(len(a), len(b), 10 * 48000)
    a, b = a[:n], b[: n + limit]
    size = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    corr = np.fft.irfft(np.fft.rfft(b, size) * np.conj(np.fft.rfft(a, size)), size)
    candidates = np.concatenate([corr[: limit + 1], corr[-limit:]])
    lags = np.concatenate([np.arange(limit + 1), np.arange(-limit, 0)])
    return int(lags[np.argmax(candidates)])


def segmental_snr(ref, err, rate):
    frame = int(0.02 * rate)
    count = len(ref) // frame
    r = ref[: count * frame].reshape(count, frame)
    e = err[: count * frame].reshape(count, frame)
    signal = (r ** 2).sum(axis=1)
    noise = (e ** 2).sum(axis=1)
    loud = signal / frame > (32768.0 * 10 ** (-50 / 20)) ** 2
    snr = 10 * np.log10(np.maximum(signal, 1e-9) / np.maximum(noise, 1e-9))
    return float(np.clip(snr, -10.0, 60.0)[loud].mean())


def bark(f):
    return 13.0 * np.arctan(0.00076 * f) + 3.5 * np.arctan((f / 7500.0) ** 2)


def quiet_threshold_db(f):
    k = np.maximum(f, 20.0) / 1000.0
    return 3.64 * k ** -0.8 - 6.5 * np.exp(-0.6 * (k - 3.3) ** 2) + 1e-3 * k ** 4


def noise_to_mask(ref, err, rate, tonal):
    size, hop = 2048, 1024
    window = np.hanning(size)
    freqs = np.arange(size // 2 + 1) * rate / size
    z = bark(freqs)
    bands = np.floor(z).astype(int)
    nb = bands.max() + 1
    centre = np.array([z[bands == b].mean() for b in range(nb)])
    dz = centre[:, None] - centre[None, :]  # maskee - masker
    y = dz + 0.474
    spread = 10 ** ((15.81 + 7.5 * y - 17.5 * np.sqrt(1 + y * y)) / 10)
    offset_db = 14.5 + centre if tonal else np.where(centre <= 12, 3.0, 0.25 * centre)
    offset = 10 ** (-offset_db / 10)
    # dB SPL of a line: a full-scale sine under this window peaks at 96 dB.
    full = (32768.0 * window.sum() / 2) ** 2
    quiet = np.array([
        (10 ** ((quiet_threshold_db(freqs[bands == b]) - 96) / 10) * full).sum() for b in range(nb)
    ])
    ratios, over = [], []
    for start in range(0, len(ref) - size, hop):
        rs = np.abs(np.fft.rfft(window * ref[start:start + size])) ** 2
        es = np.abs(np.fft.rfft(window * err[start:start + size])) ** 2
        eb = np.bincount(bands, rs, nb)
        nbnd = np.bincount(bands, es, nb)
        mask = np.maximum(spread @ eb * offset, quiet)
        r = nbnd / mask
        ratios.append(r)
        over.append(bool((r > 1.0).any()))
    ratios = np.array(ratios)
    return float(10 * np.log10(ratios.mean())), 100.0 * float(np.mean(over))


def main():
    source, rate = read_wave(sys.argv[1])
    decoded, rate2 = read_wave(sys.argv[2])
    if rate != rate2:
        raise SystemExit("sampling frequencies differ")
    if decoded.shape[1] != source.shape[1]:
        decoded = np.repeat(decoded.mean(axis=1, keepdims=True), source.shape[1], axis=1)
    delay = find_delay(source, decoded, rate)
    if delay >= 0:
        decoded = decoded[delay:]
    else:
        decoded = np.concatenate([np.zeros((-delay, decoded.shape[1])), decoded])
    n = len(source)
    if len(decoded) < n:
        decoded = np.concatenate([decoded, np.zeros((n - len(decoded), decoded.shape[1]))])
    decoded = decoded[:n]
    snr, nmr, tonal, over = [], [], [], []
    for ch in range(source.shape[1]):
        err = decoded[:, ch] - source[:, ch]
        snr.append(segmental_snr(source[:, ch], err, rate))
        nmr.append(noise_to_mask(source[:, ch], err, rate, tonal=False)[0])
        m, o = noise_to_mask(source[:, ch], err, rate, tonal=True)
        tonal.append(m)
        over.append(o)
    print(f"seg_snr={np.mean(snr):.2f} nmr={np.mean(nmr):.2f} nmr_tonal={np.mean(tonal):.2f} "
          f"tonal_frames_over={np.mean(over):.1f} delay={delay}")


if __name__ == "__main__":
    main()
