#include "PdfLayout.h"

#include "ReportData.h"

namespace PdfLayout {

int pageTotal(const QList<int>& segmentRows, int channels, int leftChannels, int rightChannels,
              const QList<bool>& flags)
{
    int total = 2; // first page and chart page
    for (const int rows : segmentRows) {
        if (flags.value(0))
            total += blocks(channels) * rowSectionPages(rows);
        if (flags.value(1))
            total += rowSectionPages(rows);
        if (flags.value(2))
            total += verticalSectionPages(leftChannels);
        if (flags.value(3))
            total += rowSectionPages(rows);
        if (flags.value(4))
            total += verticalSectionPages(rightChannels);
    }
    return total;
}

int pageTotal(const ReportData& data)
{
    QList<int> rows;
    for (int s = 0; s < data.segmentCount(); ++s)
        rows << data.segmentRows(s);
    return pageTotal(rows, data.project.Channel.size(), data.leftLabels.size(), data.rightLabels.size(),
                     data.flags);
}

} // namespace PdfLayout
