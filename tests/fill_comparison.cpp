#include "fill_comparison.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace plugin_checks {

namespace {

// What the host saw during one fill, gathered call by call.
struct Observation {
    uint64_t colourReads = 0;
    uint64_t paints = 0;
    uint64_t messageBoxes = 0;
    // Bounding box of the pixels painted since the previous refresh request.
    bool paintedSinceRequest = false;
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    // Colour reads made before each request, and the first wrong rectangle.
    std::vector<uint64_t> readsAtRequest;
    std::string fault;

    void See(const simulated_host::HostCall& call);
};

void Observation::See(const simulated_host::HostCall& call) {
    const int64_t* a = call.args;
    switch (call.kind) {
    case host_model::HostCallKind::GetColorOnImage:
        ++colourReads;
        break;
    case host_model::HostCallKind::PSet:
        ++paints;
        if (!paintedSinceRequest) {
            left = right = a[0];
            top = bottom = a[1];
            paintedSinceRequest = true;
        }
        left = std::min(left, a[0]);
        right = std::max(right, a[0]);
        top = std::min(top, a[1]);
        bottom = std::max(bottom, a[1]);
        break;
    case host_model::HostCallKind::UpdateImageWindow: {
        readsAtRequest.push_back(colourReads);
        const int64_t expected[4] = {
            paintedSinceRequest ? left : -1, paintedSinceRequest ? top : -1,
            paintedSinceRequest ? right : -1, paintedSinceRequest ? bottom : -1};
        if (fault.empty() && (a[0] != expected[0] || a[1] != expected[1] || a[2] != expected[2] ||
                              a[3] != expected[3])) {
            std::ostringstream text;
            text << "refresh request " << readsAtRequest.size() << " is "
                 << simulated_host::Describe(call)
                 << ", the box painted since the previous one is (" << expected[0] << ","
                 << expected[1] << "," << expected[2] << "," << expected[3] << ")";
            fault = text.str();
        }
        paintedSinceRequest = false;
        break;
    }
    case host_model::HostCallKind::MessageBox:
        ++messageBoxes;
        break;
    default:
        break;
    }
}

std::string ComparePaintedSet(const simulated_host::SimulatedHost& host,
                              const std::vector<uint8_t>& model) {
    for (int32_t y = 0; y < host.height; ++y)
        for (int32_t x = 0; x < host.width; ++x) {
            uint32_t count = host.paintCount[host.IndexOf(x, y)];
            bool inModel = model[host.IndexOf(x, y)] != 0;
            if (count == (inModel ? 1u : 0u))
                continue;
            std::string pixel = "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") ";
            if (count > 1)
                return pixel + "painted " + std::to_string(count) + " times";
            return pixel + (inModel ? "in the model's set, but not painted"
                                    : "painted, but not in the model's set");
        }
    return "";
}

std::string CompareRequests(const Observation& seen, size_t painted) {
    std::ostringstream text;
    if (painted == 0) {
        if (seen.paints != 0 || !seen.readsAtRequest.empty())
            text << "a seed outside the image led to " << seen.paints << " paints and "
                 << seen.readsAtRequest.size() << " refresh requests";
        return text.str();
    }
    const size_t expectedCount = ModelRefreshCount(painted);
    if (seen.readsAtRequest.size() != expectedCount) {
        text << seen.readsAtRequest.size() << " refresh requests for " << painted
             << " painted pixels, expected " << expectedCount;
        return text.str();
    }
    // The seed's read, then four candidate reads per expansion.
    for (size_t i = 0; i < expectedCount; ++i) {
        const size_t expansions =
            i + 1 < expectedCount ? ModelProgressiveRefreshAfter(i + 1) : painted;
        if (seen.readsAtRequest[i] != 1 + 4 * expansions) {
            text << "refresh request " << i + 1 << " came after " << seen.readsAtRequest[i]
                 << " colour reads, expected after expansion " << expansions << " ("
                 << 1 + 4 * expansions << " reads)";
            return text.str();
        }
    }
    return seen.fault;
}

} // namespace

void PrepareHostForCase(simulated_host::SimulatedHost& host, const FillCase& fill) {
    const ModelImage& image = fill.image;
    host.MakeCurrent();
    host.Reset(image.width, image.height);
    host.pixels = image.colours;
    host.mask = image.flags;
    host.paintColour = fill.paintColour;
    host.SetTolerances(fill.stepText, fill.seedText);
}

std::string CompareFillWithModel(simulated_host::SimulatedHost& host, VXcDrawItFn drawIt,
                                 const FillCase& fill) {
    const ModelImage& image = fill.image;
    PrepareHostForCase(host, fill);
    host.logging = false;
    Observation seen;
    host.afterCall = [&seen](const simulated_host::HostCall& call) { seen.See(call); };
    int32_t answer = drawIt(host.View(), fill.seedX, fill.seedY, 0);
    host.afterCall = nullptr;

    if (answer != ToolDoneCode)
        return "VXcDrawIt answered " + std::to_string(answer);
    if (seen.messageBoxes != 0)
        return "a message box was shown";
    if (host.currentCursor != host_model::ArrowCursor)
        return "the cursor was not put back";
    std::vector<uint8_t> model =
        ModelPaintedSet(image, fill.seedX, fill.seedY, ModelTolerance(fill.stepText.c_str()),
                        ModelTolerance(fill.seedText.c_str()));
    std::string fault = ComparePaintedSet(host, model);
    if (!fault.empty())
        return fault;
    size_t painted = 0;
    for (uint8_t member : model)
        painted += member;
    return CompareRequests(seen, painted);
}

std::string DescribeFillCase(const FillCase& fill) {
    const ModelImage& image = fill.image;
    std::ostringstream text;
    text << image.width << "x" << image.height << " image, seed (" << fill.seedX << ","
         << fill.seedY << "), step tolerance text \"" << fill.stepText
         << "\", seed tolerance text \"" << fill.seedText << "\"\n";
    if (image.width * image.height <= 256) {
        text << std::hex;
        for (int32_t y = 0; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; ++x) {
                size_t index = size_t(y) * size_t(image.width) + size_t(x);
                text << " " << image.colours[index] << "/" << int(image.flags[index]);
            }
            text << "\n";
        }
    }
    return text.str();
}

} // namespace plugin_checks
