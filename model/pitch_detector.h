// The frame pitch detector: a 2,048-point spectrum of the last recorded
// samples, phase-advance frequency estimates per bin, the choice of a pitch bin
// with octave corrections, and a stability filter that accepts a pitch only
// once it has held for several frames. Writes row 0 of the take's analysis.
#pragma once

#include "model/fft.h"
#include "model/take_model.h"

#include <array>

// What the analysis reads besides the take: two effect parameters and the
// host's sample rate (bins and hertz convert with it).
struct AnalysisSettings {
    int averagingCount = 20;
    float toneThreshold = 50.0f;
    float sampleRate = 44100.0f;
};

constexpr int kOversampling = 4;
constexpr int kBinCount = kSpectrumBins; // bins 0..1024
constexpr int kPitchHistoryCapacity = 100;
// Strong partials the octave check weighs; a spectrum with more is noise.
constexpr int kMaxStrongPartials = 48;
// The voicing of the frames the stability filter held back while a pitch
// settled, once it fills them with the pitch it then accepted.
constexpr float kBackFillVoicing = 0.1f;

class PitchDetector {
public:
    PitchDetector();

    // Analyses the frame model.analysisFrame whose window ends at the sample
    // just recorded at model.takePosition; model.lastAnalysedFrame is the frame
    // analysed before it. Runs on the audio thread; never allocates.
    void analyseFrame(TakeModel& model, const AnalysisSettings& settings);

    // Fills binMagnitude and binFrequency for the window ending at takePosition.
    void analyseSpectrum(const TakeModel& model, float sampleRate);

    // Eight lanes for the spectrum where the processor has them (the
    // default), or four; the results are the same. Answers whether eight are
    // used.
    bool setWideLanes(bool on);

    // The pitch bin, 0..999, from the current spectrum.
    int findPitchBin(float sampleRate) const;

    // The fundamental's frequency for the pitch bin from its harmonics that
    // sound in the current spectrum.
    float refinedFrequency(int bin, float sampleRate) const;

    // The voicing rule, the pitch history and the stability filter for frame
    // model.analysisFrame, given its pitch bin and that bin's frequency and
    // magnitude. analyseFrame ends with it; tests call it with estimates of
    // their own.
    void filterEstimate(TakeModel& model, const AnalysisSettings& settings, int bin,
        float frequency, float magnitude);

    std::array<float, kBinCount> binMagnitude {};
    std::array<float, kBinCount> binFrequency {};
    std::array<float, kBinCount> lastPhase {};
    std::array<float, kPitchHistoryCapacity> pitchHistory {};
    double previousPitch = 0.0;

private:
    void loadWindow(const TakeModel& model);
    int partialNear(double frequency, double tolerance, double binWidth) const;
    int lowestExplainingFundamental(int peak, double binWidth) const;
    struct StrongPartials {
        std::array<int, kMaxStrongPartials> bins {};
        int count = 0;
    };
    bool findStrongPartials(float threshold, StrongPartials& strong) const;
    bool explainsStrongPartials(double fundamental, const StrongPartials& strong) const;
    bool isPeak(int k) const;
    bool lowHarmonicsPresent(double fundamental, float floor, double binWidth) const;
    bool fullSeriesSounds(double fundamental, double binWidth) const;
    void setBinCentres(float sampleRate);

    RealFft fft;
    alignas(16) std::array<float, kFftSize> window {}; // Hann, 0.5 - 0.5 cos(2 pi i / N)
    // The windowed samples packed for the transform, then its result.
    alignas(16) std::array<float, kPackedBufferSize> packedRe {};
    alignas(16) std::array<float, kPackedBufferSize> packedIm {};
    alignas(16) std::array<float, kBinCount> spectrumRe {};
    alignas(16) std::array<float, kBinCount> spectrumIm {};
    // k times the bin width at binCentreRate, for k = 0..1024.
    alignas(16) std::array<float, kBinCount> binCentre {};
    float binCentreRate = 0.0f;
};
