#include "transforms/time_transforms.h"

#include "fft/general_fft.h"

namespace lattice_bubble {

TimeWindow::TimeWindow(int frequencies)
    : buffer_(static_cast<std::size_t>(8 * frequencies)),
      one_over_points_(1.0 / (4 * frequencies)),
      index_work_(general_fft_work_sizes(4 * frequencies).ints, 0),
      work_(general_fft_work_sizes(4 * frequencies).doubles) {}

void TimeWindow::transform(int sign, bool divide) {
    general_fft(static_cast<int>(buffer_.size() / 2), sign, buffer_.data(), index_work_.data(), work_.data());
    divided_ = divide;
}

double TimeWindow::bytes(int frequencies) {
    const GeneralFftWorkSizes sizes = general_fft_work_sizes(4 * frequencies);
    return 8.0 * frequencies * sizeof(double) + static_cast<double>(sizes.doubles) * sizeof(double) +
           static_cast<double>(sizes.ints) * sizeof(int);
}

}  // namespace lattice_bubble
