// Cost of capturing: the whole show process recording a range with --capture,
// against the same process drawing the same frames on the same fixed steps without
// recording (same size, step and range; not --benchmark, which draws a bare frame
// beside each one), run in turns so both meet the same machine. Prints every pair
// and the median ratio. Run from the show folder under a display:
//   cd build/show && xvfb-run -a -s "-screen 0 1920x1080x24" ../bench/capture_bench [--size WxH] [--fps N]
//       [--to T] [--pairs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string size = "1280x720";
    std::string fps = "60";
    std::string to = "20";
    int pairs = 5;
};

double secondsOf(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        std::fprintf(stderr, "capture_bench: failed (%d): %s\n", status, command.c_str());
        std::exit(1);
    }
    return seconds;
}

double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const size_t low = static_cast<size_t>(at);
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        if (name == "--size") o.size = value;
        else if (name == "--fps") o.fps = value;
        else if (name == "--to") o.to = value;
        else if (name == "--pairs") o.pairs = std::max(1, std::atoi(value.c_str()));
        else {
            std::fprintf(stderr, "usage: capture_bench [--size WxH] [--fps N] [--to T] [--pairs N]\n");
            return 64;
        }
    }
    if (!std::filesystem::exists("newobjects/paths.pt")) {
        std::fprintf(stderr, "capture_bench: run it from the show folder (build/show)\n");
        return 1;
    }
    const std::string video = (std::filesystem::temp_directory_path() / "capture_bench.mp4").string();
    const std::string common = "../zoduv --no-dialog --size " + o.size + " ";
    const std::string capture = common + "--fps " + o.fps + " --to " + o.to + " --capture '" + video + "'";
    const std::string plain = common + "--fixed-step " + o.fps + " --show-end " + o.to;
    const std::string quiet = " >/dev/null 2>&1";
    std::printf("capture: %s\nplain:   %s\n", capture.c_str(), plain.c_str());

    // One unmeasured run of each first: files cached, shaders compiled once.
    secondsOf(capture + quiet);
    secondsOf(plain + quiet);
    std::vector<double> ratios;
    std::printf("pair  capture s  plain s  ratio\n");
    for (int pair = 1; pair <= o.pairs; ++pair) {
        // Alternate which goes first, so a machine that slows down or speeds up
        // during a pair does not favour one side.
        double c = 0, b = 0;
        if (pair % 2) {
            c = secondsOf(capture + quiet);
            b = secondsOf(plain + quiet);
        } else {
            b = secondsOf(plain + quiet);
            c = secondsOf(capture + quiet);
        }
        ratios.push_back(c / b);
        std::printf("%4d  %9.2f  %7.2f  %5.3f\n", pair, c, b, c / b);
        std::fflush(stdout);
    }
    std::printf("capture / plain, whole process: median %.3f (middle half %.3f to %.3f) over %d pairs\n",
                quantile(ratios, 0.5), quantile(ratios, 0.25), quantile(ratios, 0.75), o.pairs);
    std::filesystem::remove(video);
    return 0;
}
