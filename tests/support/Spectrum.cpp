#include "Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>

namespace analysis {

std::vector<double> magnitudeSpectrum(const std::vector<double>& signal) {
    const int n = static_cast<int>(signal.size());
    std::vector<double> input(signal);
    std::vector<std::complex<double>> output(static_cast<size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(
        n, input.data(), reinterpret_cast<fftw_complex*>(output.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> magnitude(output.size());
    for (size_t k = 0; k < output.size(); ++k)
        magnitude[k] = std::abs(output[k]);
    return magnitude;
}

double binAmplitude(const std::vector<double>& magnitude, int k, int n) {
    return 2.0 * magnitude[static_cast<size_t>(k)] / n;
}

double worstAliasDb(const std::vector<double>& magnitude, int fundamentalBin) {
    double worst = 0.0;
    for (size_t k = 1; k < magnitude.size(); ++k) {
        if (k % static_cast<size_t>(fundamentalBin) != 0)
            worst = std::max(worst, magnitude[k]);
    }
    return 20.0 * std::log10(worst / magnitude[static_cast<size_t>(fundamentalBin)] + 1e-300);
}

} // namespace analysis
