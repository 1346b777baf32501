/* The floor for the Excel report: plain C writing the same cells as the
 * report's data sheet (a day at 1 s is 86,400 rows, a week 604,800: the time
 * text and 16 values as number cells rounded to two decimals in a "0.00"
 * number format, bordered) with libxlsxwriter in constant-memory mode.
 * Prints wall and CPU time and the peak resident memory.
 *
 * usage: xlsx_reference [out.xlsx] [rows] [channels]
 */
#include <xlsxwriter.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double seconds(clockid_t clock)
{
    struct timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

/* VmHWM, the peak resident memory of this program: unlike ru_maxrss it
 * starts afresh at exec, so a large parent does not count. */
static double high_water_mb(void)
{
    FILE* status = fopen("/proc/self/status", "r");
    char line[256];
    double kb = -1;
    if (!status)
        return -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %lf", &kb) == 1)
            break;
    fclose(status);
    return kb / 1024.0;
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "xlsx_reference.xlsx";
    const int rows = argc > 2 ? atoi(argv[2]) : 86400;
    const int channels = argc > 3 ? atoi(argv[3]) : 16;
    const double wall0 = seconds(CLOCK_MONOTONIC), cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);

    lxw_workbook_options options = {.constant_memory = LXW_TRUE, .tmpdir = NULL, .use_zip64 = LXW_FALSE};
    lxw_workbook* book = workbook_new_opt(path, &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "data");
    lxw_format* format = workbook_add_format(book);
    format_set_font_name(format, "宋体");
    format_set_font_size(format, 12);
    format_set_border(format, LXW_BORDER_THIN);
    lxw_format* number = workbook_add_format(book);
    format_set_font_name(number, "宋体");
    format_set_font_size(number, 12);
    format_set_border(number, LXW_BORDER_THIN);
    format_set_num_format(number, "0.00");

    char text[64];
    const time_t start = 1772445600; /* 2026-03-02 10:00:00 UTC */
    for (int r = 0; r < rows; ++r) {
        const time_t t = start + r;
        struct tm tm;
        localtime_r(&t, &tm);
        snprintf(text, sizeof text, "%02d-%02d %02d:%02d:%02d.000", tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                 tm.tm_min, tm.tm_sec);
        worksheet_write_string(sheet, r, 0, text, format);
        for (int c = 0; c < channels; ++c) {
            const double v = 25.0 + c * 0.5 + 3.0 * sin(r / 600.0 + c);
            worksheet_write_number(sheet, r, c + 1, round(v * 100) / 100, number);
        }
    }
    const lxw_error error = workbook_close(book);
    const double wall = seconds(CLOCK_MONOTONIC) - wall0, cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    if (error != LXW_NO_ERROR) {
        fprintf(stderr, "xlsx_reference: %s\n", lxw_strerror(error));
        return 1;
    }
    printf("reference: %d rows x %d columns: wall %.3f s, cpu %.3f s, peak RSS %.1f MB\n", rows, channels + 1, wall,
           cpu, high_water_mb());
    return 0;
}
