#pragma once

#include <QList>

struct ReportData;

// Layout arithmetic of the PDF report, in device units (dots at 300 dpi).
// A table section is a run of pages: a section title, a column header and
// 25 row positions. The lines of a section (opening line, rows, closing
// line) fill the positions in order; a line that would fall on position 25
// starts the next page of the section at position 0. The writer places every
// line with `slot`, so the page total computed here is the number of pages
// the writer begins.
namespace PdfLayout {

constexpr int Positions = 25; // row positions per page
constexpr int RowHeight = 70;
constexpr int TableTop = 400;     // y of the column header
constexpr int SectionTop = 200;   // y of the section title box
constexpr int TimeWidth = 480;    // first column of data and horizontal tables
constexpr int BlockChannels = 10; // data table channels per block
constexpr int VerticalFirst = 6;  // position of the vertical table's opening line
constexpr int FooterSpace = 290;  // content height is H − FooterSpace

struct Slot
{
    int page = 0;     // page of the section, 0-based
    int position = 0; // row position on that page
};

// Line `line` (0 = opening line) of a section whose opening line sits at
// position `first` of its first page.
inline Slot slot(int line, int first = 0)
{
    return {(first + line) / Positions, (first + line) % Positions};
}

// Pages of a section of `lines` lines starting at position `first`.
inline int sectionPages(int lines, int first = 0)
{
    return lines <= 0 ? 0 : (first + lines + Positions - 1) / Positions;
}

// A data or horizontal table over `rows` data rows (plus opening and closing line).
inline int rowSectionPages(int rows)
{
    return sectionPages(rows + 2, 0);
}
// A vertical table over `channels` channel rows (summary block above it).
inline int verticalSectionPages(int channels)
{
    return sectionPages(channels + 2, VerticalFirst);
}
// Channel blocks of the data table.
inline int blocks(int channels)
{
    return (channels + BlockChannels - 1) / BlockChannels;
}

inline int rowY(int position)
{
    return TableTop + RowHeight + RowHeight * position;
}
inline bool shaded(int position)
{
    return position % 5 == 4;
}

// Pages of the whole report: first page, the selected tables for every
// segment, chart page. `flags`: data, left H, left V, right H, right V.
int pageTotal(const QList<int>& segmentRows, int channels, int leftChannels, int rightChannels,
              const QList<bool>& flags);
int pageTotal(const ReportData& data);

} // namespace PdfLayout
