#include "fill_report.h"

namespace run_records {

int32_t FirstBufferOverClick(const FillReport& report) {
    for (const HostMessage& message : report.messages)
        if (message.text == "Buffer over")
            return message.click;
    return -1;
}

void WriteRecord(FILE* file, const std::vector<command_line::Click>& clicks,
                 const FillReport& report, int32_t width) {
    size_t nextRefresh = 0;
    for (size_t c = 0; c < clicks.size(); ++c) {
        fprintf(file, "click %d %d\n", clicks[c].x, clicks[c].y);
        for (; nextRefresh < report.refreshes.size() &&
               report.refreshes[nextRefresh].click == int32_t(c);
             ++nextRefresh) {
            const RefreshRequest& r = report.refreshes[nextRefresh];
            fprintf(file, "refresh %d %d %d %d\n", r.left, r.top, r.right, r.bottom);
        }
        // The only message a fill shows ends it, after its last refresh request.
        for (const HostMessage& message : report.messages)
            if (message.click == int32_t(c))
                fprintf(file, "message %s|%s\n", message.text.c_str(), message.caption.c_str());
    }
    fprintf(file, "painted %llu\n", (unsigned long long)report.painted.count);
    const std::vector<uint8_t>& bits = report.painted.bits;
    for (size_t byte = 0; byte < bits.size(); ++byte)
        for (size_t i = byte * 8; bits[byte] != 0 && i < byte * 8 + 8; ++i)
            if (report.Painted(i))
                fprintf(file, "%d %d\n", int32_t(i % size_t(width)), int32_t(i / size_t(width)));
}

} // namespace run_records
