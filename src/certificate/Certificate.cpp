#include "Certificate.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace Certificate {

namespace {

QJsonValue number(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

double real(const QJsonValue& v, double fallback = NAN)
{
    return v.isDouble() ? v.toDouble() : fallback;
}

// "t:x:residual:asfound:role:U:k" of a set saved without evidence.
QList<Point> pointsFromResiduals(const QString& text)
{
    QList<Point> out;
    int n = 0;
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = item.split(QLatin1Char(':'));
        Point p;
        p.point = ++n;
        bool ok = false;
        p.reference = f.value(0).toDouble(&ok);
        if (!ok)
            continue;
        p.reading = f.value(1).toDouble();
        const auto mk = [&](int i) {
            bool good = false;
            const double v = f.value(i).toDouble(&good);
            return good ? v / 1000 : NAN;
        };
        p.errorAsLeft = mk(2);
        p.errorAsFound = mk(3);
        p.fitted = p.reference + (std::isfinite(p.errorAsLeft) ? p.errorAsLeft : 0);
        p.role = f.value(4, QStringLiteral("fit"));
        bool good = false;
        const double u = f.value(5).toDouble(&good);
        if (good) {
            p.U = u;
            p.k = f.value(6).toDouble();
            const int dot = f.value(5).indexOf(QLatin1Char('.'));
            p.decimals = dot < 0 ? 0 : f.value(5).size() - dot - 1;
        }
        out << p;
    }
    return out;
}

int positionOf(const QString& label)
{
    return label.section(QLatin1Char('_'), 0, 0).toInt();
}

QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QList<Signatory> parseSignatories(const QString& text)
{
    QList<Signatory> out;
    for (const QString& item : text.split(QRegularExpression(QStringLiteral("[;；\n]")), Qt::SkipEmptyParts)) {
        const QString trimmed = item.trimmed();
        if (trimmed.isEmpty())
            continue;
        const int slash = trimmed.indexOf(QLatin1Char('/'));
        out << Signatory{(slash < 0 ? trimmed : trimmed.left(slash)).trimmed(),
                         slash < 0 ? QString() : trimmed.mid(slash + 1).trimmed()};
    }
    return out;
}

QString numberFor(const QString& pattern, const QDate& date, int sequence)
{
    QString p = pattern.trimmed().isEmpty() ? QStringLiteral("{yyyy}-{nnnn}") : pattern.trimmed();
    static const QRegularExpression field(QStringLiteral("\\{(n+)\\}"));
    if (!field.match(p).hasMatch())
        p += QStringLiteral("-{nnn}");
    p.replace(QStringLiteral("{yyyy}"), date.toString(QStringLiteral("yyyy")));
    p.replace(QStringLiteral("{yy}"), date.toString(QStringLiteral("yy")));
    p.replace(QStringLiteral("{MM}"), date.toString(QStringLiteral("MM")));
    p.replace(QStringLiteral("{dd}"), date.toString(QStringLiteral("dd")));
    QRegularExpressionMatch m;
    while ((m = field.match(p)).hasMatch())
        p.replace(m.capturedStart(), m.capturedLength(),
                  QStringLiteral("%1").arg(sequence, m.capturedLength(1), 10, QLatin1Char('0')));
    return p;
}

QString nextNumber(const QString& pattern, const QDate& date, const QStringList& taken)
{
    for (int n = 1;; ++n) {
        const QString candidate = numberFor(pattern, date, n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

QList<int> devicePositions(const QList<Tool::Struct_CalibrationHistory>& rows)
{
    QList<int> out;
    for (const Tool::Struct_CalibrationHistory& r : rows) {
        const int position = positionOf(r.Label);
        if (position > 0 && !out.contains(position))
            out << position;
    }
    std::sort(out.begin(), out.end());
    return out;
}

QList<QPair<QString, int>> coefficientNames(const QString& mode)
{
    if (mode == QStringLiteral("热电偶"))
        return {{QStringLiteral("M"), 0}, {QStringLiteral("B"), 1}};
    if (mode == QStringLiteral("铂电阻"))
        return {{QStringLiteral("A"), 2},
                {QStringLiteral("B"), 3},
                {QStringLiteral("R0"), 6},
                {QStringLiteral("A4"), 7},
                {QStringLiteral("B4"), 8}};
    return {{QStringLiteral("B0"), 2}, {QStringLiteral("B1"), 3}, {QStringLiteral("B2"), 4}, {QStringLiteral("B3"), 5}};
}

QList<QPair<QString, int>> coefficientLabels(const QString& mode, const QString& function, const QStringList& set)
{
    if (mode != QStringLiteral("铂电阻"))
        return coefficientNames(mode);
    if (function == QLatin1String("CVD"))
        return {{QStringLiteral("R(0 ℃)"), 6}, {QStringLiteral("A"), 2}, {QStringLiteral("B"), 3}, {QStringLiteral("C"), 4}};
    QList<QPair<QString, int>> names{{QStringLiteral("R(0.01 ℃)"), 6}, {QStringLiteral("a"), 2}, {QStringLiteral("b"), 3}};
    if (set.value(4).toDouble() != 0)
        names << qMakePair(QStringLiteral("c"), 4);
    names << qMakePair(QStringLiteral("a4"), 7) << qMakePair(QStringLiteral("b4"), 8);
    return names;
}

bool fromHistory(const QList<Tool::Struct_CalibrationHistory>& rows, int position, Content& c)
{
    // The newest set of every channel of the device: a run saved again replaces its sets.
    QList<Tool::Struct_CalibrationHistory> newest;
    for (const Tool::Struct_CalibrationHistory& r : rows) {
        if (positionOf(r.Label) != position)
            continue;
        bool replaced = false;
        for (Tool::Struct_CalibrationHistory& n : newest)
            if (n.Label == r.Label) {
                n = r;
                replaced = true;
            }
        if (!replaced)
            newest << r;
    }
    if (newest.isEmpty())
        return false;
    c.position = position;
    c.channels.clear();
    for (const Tool::Struct_CalibrationHistory& r : qAsConst(newest)) {
        Channel ch;
        ch.number = r.ChannelNumber;
        ch.label = r.Label;
        ch.type = r.ChannelMode;
        ch.savedAt = r.SavedAt;
        ch.before = r.OldSet;
        ch.after = r.NewSet;
        c.startTime = r.StartTime;
        c.mode = r.ChannelMode;
        c.reference = r.Reference;
        c.config = r.ConfigName;
        if (c.operatorName.isEmpty())
            c.operatorName = r.Operator;
        const QDate saved = QDateTime::fromString(r.SavedAt, QStringLiteral("yyyy-MM-dd hh:mm:ss")).date();
        if (saved.isValid() && (!c.calibratedTo.isValid() || saved > c.calibratedTo))
            c.calibratedTo = saved;
        const QJsonObject e = QJsonDocument::fromJson(r.Evidence.toUtf8()).object();
        if (e.isEmpty()) {
            ch.points = pointsFromResiduals(r.Residuals);
        } else {
            const QJsonObject device = e.value(QStringLiteral("device")).toObject();
            c.model = device.value(QStringLiteral("model")).toString();
            c.serial = device.value(QStringLiteral("serial")).toString();
            c.selector = device.value(QStringLiteral("selector")).toString();
            const QJsonObject channel = e.value(QStringLiteral("channel")).toObject();
            ch.tag = channel.value(QStringLiteral("tag")).toString();
            ch.function = channel.value(QStringLiteral("function")).toString();
            const QJsonObject fit = e.value(QStringLiteral("fit")).toObject();
            if (fit.value(QStringLiteral("validFrom")).isDouble()) {
                ch.validFrom = fit.value(QStringLiteral("validFrom")).toDouble();
                ch.validTo = fit.value(QStringLiteral("validTo")).toDouble();
            }
            const QJsonObject standard = e.value(QStringLiteral("standard")).toObject();
            if (!standard.isEmpty()) {
                c.hasStandard = true;
                c.standard.serial = standard.value(QStringLiteral("serial")).toString();
                c.standard.kind = standard.value(QStringLiteral("kind")).toString();
                c.standard.certificate = standard.value(QStringLiteral("certificate")).toString();
                c.standard.laboratory = standard.value(QStringLiteral("laboratory")).toString();
                c.standard.uncertainty = standard.value(QStringLiteral("uncertainty")).toString();
                c.standard.k = real(standard.value(QStringLiteral("k")), 2);
                c.standard.calibrated =
                    QDate::fromString(standard.value(QStringLiteral("calibrationDate")).toString(), Qt::ISODate);
                c.standard.due = QDate::fromString(standard.value(QStringLiteral("dueDate")).toString(), Qt::ISODate);
            }
            const QJsonObject source = e.value(QStringLiteral("source")).toObject();
            if (!source.isEmpty()) {
                c.hasSource = true;
                c.sourceSerial = source.value(QStringLiteral("serial")).toString();
                c.sourceModel = source.value(QStringLiteral("model")).toString();
            }
            for (const QJsonValue& v : e.value(QStringLiteral("points")).toArray()) {
                const QJsonObject o = v.toObject();
                Point p;
                p.point = o.value(QStringLiteral("point")).toInt();
                p.role = o.value(QStringLiteral("role")).toString();
                p.reference = real(o.value(QStringLiteral("reference")));
                p.reading = real(o.value(QStringLiteral("reading")));
                p.fitted = real(o.value(QStringLiteral("fitted")));
                p.errorAsLeft = real(o.value(QStringLiteral("errorAsLeft")));
                p.errorAsFound = real(o.value(QStringLiteral("errorAsFound")));
                const QJsonObject b = o.value(QStringLiteral("budget")).toObject();
                if (!b.isEmpty()) {
                    p.U = real(b.value(QStringLiteral("U")));
                    p.k = real(b.value(QStringLiteral("k")));
                    p.decimals = b.value(QStringLiteral("decimals")).toInt();
                    p.combined = real(b.value(QStringLiteral("combined")));
                    p.dof = real(b.value(QStringLiteral("dof")), INFINITY);
                    p.expanded = real(b.value(QStringLiteral("expanded")));
                    for (const QJsonValue& part : b.value(QStringLiteral("components")).toArray()) {
                        const QJsonObject x = part.toObject();
                        BudgetLine line;
                        line.name = x.value(QStringLiteral("name")).toString();
                        line.key = x.value(QStringLiteral("key")).toString();
                        line.kind = x.value(QStringLiteral("kind")).toString();
                        line.value = real(x.value(QStringLiteral("value")), 0);
                        line.k = real(x.value(QStringLiteral("k")), 2);
                        line.count = x.value(QStringLiteral("count")).toInt(1);
                        line.sensitivity = real(x.value(QStringLiteral("sensitivity")), 1);
                        line.standard = real(x.value(QStringLiteral("standard")), 0);
                        line.contribution = real(x.value(QStringLiteral("contribution")), 0);
                        line.dof = real(x.value(QStringLiteral("dof")), INFINITY);
                        p.budget << line;
                    }
                }
                ch.points << p;
            }
        }
        c.channels << ch;
    }
    c.calibratedFrom = QDateTime::fromString(c.startTime, QStringLiteral("yyyy-MM-dd hh:mm:ss")).date();
    if (!c.calibratedTo.isValid())
        c.calibratedTo = c.calibratedFrom;
    std::sort(c.channels.begin(), c.channels.end(), [](const Channel& a, const Channel& b) {
        return a.number.toInt() != b.number.toInt() ? a.number.toInt() < b.number.toInt() : a.number < b.number;
    });
    return true;
}

QString fixed(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', std::max(0, decimals)) : QStringLiteral("—");
}

QByteArray toJson(const Content& c)
{
    const auto date = [](const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); };
    QJsonObject root{{QStringLiteral("format"), QStringLiteral("arq-certificate")},
                     {QStringLiteral("version"), 1},
                     {QStringLiteral("number"), c.number},
                     {QStringLiteral("issued"), date(c.issued)}};
    root.insert(QStringLiteral("laboratory"), QJsonObject{{QStringLiteral("name"), c.labName},
                                                          {QStringLiteral("address"), c.labAddress},
                                                          {QStringLiteral("accreditation"), c.accreditation}});
    root.insert(QStringLiteral("signatory"),
                QJsonObject{{QStringLiteral("name"), c.signatory.name}, {QStringLiteral("role"), c.signatory.role}});
    root.insert(QStringLiteral("operator"), c.operatorName);
    root.insert(QStringLiteral("customer"),
                QJsonObject{{QStringLiteral("name"), c.customer}, {QStringLiteral("address"), c.customerAddress}});
    root.insert(QStringLiteral("environment"),
                QJsonObject{{QStringLiteral("ambient"), c.ambient}, {QStringLiteral("humidity"), c.humidity}});
    root.insert(QStringLiteral("item"), QJsonObject{{QStringLiteral("position"), c.position},
                                                    {QStringLiteral("model"), c.model},
                                                    {QStringLiteral("serial"), c.serial},
                                                    {QStringLiteral("selector"), c.selector},
                                                    {QStringLiteral("config"), c.config},
                                                    {QStringLiteral("kind"), c.mode}});
    root.insert(QStringLiteral("run"), QJsonObject{{QStringLiteral("start"), c.startTime},
                                                   {QStringLiteral("from"), date(c.calibratedFrom)},
                                                   {QStringLiteral("to"), date(c.calibratedTo)},
                                                   {QStringLiteral("reference"), c.reference}});
    if (c.hasStandard)
        root.insert(QStringLiteral("standard"), QJsonObject{{QStringLiteral("serial"), c.standard.serial},
                                                            {QStringLiteral("kind"), c.standard.kind},
                                                            {QStringLiteral("certificate"), c.standard.certificate},
                                                            {QStringLiteral("laboratory"), c.standard.laboratory},
                                                            {QStringLiteral("calibrationDate"), date(c.standard.calibrated)},
                                                            {QStringLiteral("dueDate"), date(c.standard.due)},
                                                            {QStringLiteral("uncertainty"), c.standard.uncertainty},
                                                            {QStringLiteral("k"), c.standard.k}});
    if (c.hasSource)
        root.insert(QStringLiteral("source"),
                    QJsonObject{{QStringLiteral("serial"), c.sourceSerial}, {QStringLiteral("model"), c.sourceModel}});
    QJsonArray channels;
    for (const Channel& ch : c.channels) {
        QJsonObject coefficients;
        for (const auto& name : coefficientNames(c.mode))
            coefficients.insert(name.first, ch.after.value(name.second));
        QJsonObject before;
        for (const auto& name : coefficientNames(c.mode))
            before.insert(name.first, ch.before.value(name.second));
        QJsonArray points;
        for (const Point& p : ch.points) {
            QJsonObject o{{QStringLiteral("point"), p.point},
                          {QStringLiteral("role"), p.role},
                          {QStringLiteral("reference"), number(p.reference)},
                          {QStringLiteral("reading"), number(p.reading)},
                          {QStringLiteral("fitted"), number(p.fitted)},
                          {QStringLiteral("errorAsFound"), number(p.errorAsFound)},
                          {QStringLiteral("errorAsLeft"), number(p.errorAsLeft)},
                          {QStringLiteral("U"), number(p.U)},
                          {QStringLiteral("k"), number(p.k)},
                          {QStringLiteral("decimals"), p.decimals}};
            if (!p.budget.isEmpty()) {
                QJsonArray parts;
                for (const BudgetLine& b : p.budget)
                    parts.append(QJsonObject{{QStringLiteral("name"), b.name},
                                             {QStringLiteral("key"), b.key},
                                             {QStringLiteral("kind"), b.kind},
                                             {QStringLiteral("value"), b.value},
                                             {QStringLiteral("k"), b.k},
                                             {QStringLiteral("count"), b.count},
                                             {QStringLiteral("sensitivity"), b.sensitivity},
                                             {QStringLiteral("standard"), b.standard},
                                             {QStringLiteral("contribution"), b.contribution},
                                             {QStringLiteral("dof"), number(b.dof)}});
                o.insert(QStringLiteral("budget"), QJsonObject{{QStringLiteral("components"), parts},
                                                                {QStringLiteral("combined"), number(p.combined)},
                                                                {QStringLiteral("dof"), number(p.dof)},
                                                                {QStringLiteral("expanded"), number(p.expanded)}});
            }
            points.append(o);
        }
        channels.append(QJsonObject{{QStringLiteral("number"), ch.number},
                                    {QStringLiteral("label"), ch.label},
                                    {QStringLiteral("tag"), ch.tag},
                                    {QStringLiteral("type"), ch.type},
                                    {QStringLiteral("function"), ch.function},
                                    {QStringLiteral("saved"), ch.savedAt},
                                    {QStringLiteral("coefficientsBefore"), before},
                                    {QStringLiteral("coefficients"), coefficients},
                                    {QStringLiteral("points"), points}});
    }
    root.insert(QStringLiteral("channels"), channels);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray resultsCsv(const Content& c)
{
    QStringList lines{QStringLiteral("certificate,channel,tag,point,role,reference_C,reading,error_as_found_C,"
                                     "error_as_left_C,U_C,k")};
    for (const Channel& ch : c.channels)
        for (const Point& p : ch.points) {
            const int d = std::isfinite(p.U) ? p.decimals : 3;
            lines << QStringList{csvField(c.number),
                                 csvField(ch.number),
                                 csvField(ch.tag),
                                 QString::number(p.point),
                                 p.role,
                                 QString::number(p.reference, 'f', std::max(d, 2)),
                                 QString::number(p.reading, 'g', 10),
                                 std::isfinite(p.errorAsFound) ? fixed(p.errorAsFound, d) : QString(),
                                 std::isfinite(p.errorAsLeft) ? fixed(p.errorAsLeft, d) : QString(),
                                 std::isfinite(p.U) ? fixed(p.U, p.decimals) : QString(),
                                 std::isfinite(p.k) ? QString::number(p.k, 'f', 2) : QString()}
                         .join(QLatin1Char(','));
        }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace Certificate
