#pragma once

#include "Certificate.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QFile;
class QPainter;
class QPagedPaintDevice;

// The certificate as a PDF: A4 portrait, the certificate number and
// "page n of N" on every page, results per channel, the traceability and
// signature, the budget of every point as an annex, an end mark. Texts are
// in the interface language. Laid out once to know N, then painted.
class CertificatePdf
{
    Q_DECLARE_TR_FUNCTIONS(CertificatePdf)
public:
    explicit CertificatePdf(const Certificate::Content& content);

    using Progress = std::function<void(int done, int total)>;
    // Writes the document to the open `file`; false when cancelled or the
    // painter could not start. `pages` gets the page count.
    bool write(QFile& file, const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr,
               int* pages = nullptr);

    // Text for the distribution of a budget component.
    static QString kindText(const QString& kind);
    // Sensor kind as printed.
    static QString typeText(const QString& type);

private:
    enum class Type { Title, Subtitle, Heading, Field, Text, TableHeader, Row, Space, EndMark };
    struct Block
    {
        Type type = Type::Text;
        QStringList cells;
        QList<double> widths; // fractions of the content width
        int table = -1;       // rows and their header share this
        double height = 0;
        bool strong = false;
    };

    void build();
    void add(Type type, const QStringList& cells = {}, int table = -1, bool strong = false);
    void table(const QStringList& head, const QList<double>& widths);
    void measure(QPagedPaintDevice* device);
    QList<QList<int>> paginate() const;
    void drawPage(QPainter& p, const QList<int>& blocks, int page, int total);
    void drawBlock(QPainter& p, const Block& b, double y);

    Certificate::Content m_Content;
    QString m_Family;
    QList<Block> m_Blocks;
    QList<Block> m_Headers; // table headers by table id
    double m_Width = 0;     // content width (device units)
    double m_Top = 0, m_Bottom = 0, m_Left = 0, m_PageWidth = 0, m_PageHeight = 0;
};
