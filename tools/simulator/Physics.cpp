#include "Physics.h"

#include <cmath>
#include <functional>
#include <vector>

namespace sim::physics {

namespace {

constexpr double kKelvin = 273.15;

struct Range
{
    double low, high;                 // °C
    std::vector<double> c;            // ascending powers of t, mV
};

struct Thermocouple
{
    const char* name;
    std::vector<Range> ranges;
    bool kExponential;                // type K adds a0·exp(a1(t − a2)²) above 0 °C
};

// Coefficients of the NIST ITS-90 thermocouple database (Monograph 175).
const std::vector<Thermocouple>& thermocouples()
{
    static const std::vector<Thermocouple> table = {
        {"B", {{0.0, 630.615, {0.0, -0.246508183460e-03, 0.590404211710e-05, -0.132579316360e-08,
                               0.156682919010e-11, -0.169445292400e-14, 0.629903470940e-18}},
               {630.615, 1820.0, {-0.389381686210e+01, 0.285717474700e-01, -0.848851047850e-04,
                                  0.157852801640e-06, -0.168353448640e-09, 0.111097940130e-12,
                                  -0.445154310330e-16, 0.989756408210e-20, -0.937913302890e-24}}},
         false},
        {"E", {{-270.0, 0.0, {0.0, 0.586655087080e-01, 0.454109771240e-04, -0.779980486860e-06,
                              -0.258001608430e-07, -0.594525830570e-09, -0.932140586670e-11,
                              -0.102876055340e-12, -0.803701236210e-15, -0.439794973910e-17,
                              -0.164147763550e-19, -0.396736195160e-22, -0.558273287210e-25,
                              -0.346578420130e-28}},
               {0.0, 1000.0, {0.0, 0.586655087100e-01, 0.450322755820e-04, 0.289084072120e-07,
                              -0.330568966520e-09, 0.650244032700e-12, -0.191974955040e-15,
                              -0.125366004970e-17, 0.214892175690e-20, -0.143880417820e-23,
                              0.359608994810e-27}}},
         false},
        {"J", {{-210.0, 760.0, {0.0, 0.503811878150e-01, 0.304758369300e-04, -0.856810657200e-07,
                                0.132281952950e-09, -0.170529583370e-12, 0.209480906970e-15,
                                -0.125383953360e-18, 0.156317256970e-22}},
               {760.0, 1200.0, {0.296456256810e+03, -0.149761277860e+01, 0.317871039240e-02,
                                -0.318476867010e-05, 0.157208190040e-08, -0.306913690560e-12}}},
         false},
        {"K", {{-270.0, 0.0, {0.0, 0.394501280250e-01, 0.236223735980e-04, -0.328589067840e-06,
                              -0.499048287770e-08, -0.675090591730e-10, -0.574103274280e-12,
                              -0.310888728940e-14, -0.104516093650e-16, -0.198892668780e-19,
                              -0.163226974860e-22}},
               {0.0, 1372.0, {-0.176004136860e-01, 0.389212049750e-01, 0.185587700320e-04,
                              -0.994575928740e-07, 0.318409457190e-09, -0.560728448890e-12,
                              0.560750590590e-15, -0.320207200030e-18, 0.971511471520e-22,
                              -0.121047212750e-25}}},
         true},
        {"N", {{-270.0, 0.0, {0.0, 0.261591059620e-01, 0.109574842280e-04, -0.938411115540e-07,
                              -0.464120397590e-10, -0.263033577160e-11, -0.226534380030e-13,
                              -0.760893007910e-16, -0.934196678350e-19}},
               {0.0, 1300.0, {0.0, 0.259293946010e-01, 0.157101418800e-04, 0.438256272370e-07,
                              -0.252611697940e-09, 0.643118193390e-12, -0.100634715190e-14,
                              0.997453389920e-18, -0.608632456070e-21, 0.208492293390e-24,
                              -0.306821961510e-28}}},
         false},
        {"R", {{-50.0, 1064.18, {0.0, 0.528961729765e-02, 0.139166589782e-04, -0.238855693017e-07,
                                 0.356916001063e-10, -0.462347666298e-13, 0.500777441034e-16,
                                 -0.373105886191e-19, 0.157716482367e-22, -0.281038625251e-26}},
               {1064.18, 1664.5, {0.295157925316e+01, -0.252061251332e-02, 0.159564501865e-04,
                                  -0.764085947576e-08, 0.205305291024e-11, -0.293359668173e-15}},
               {1664.5, 1768.1, {0.152232118209e+03, -0.268819888545e+00, 0.171280280471e-03,
                                 -0.345895706453e-07, -0.934633971046e-14}}},
         false},
        {"S", {{-50.0, 1064.18, {0.0, 0.540313308631e-02, 0.125934289740e-04, -0.232477968689e-07,
                                 0.322028823036e-10, -0.331465196389e-13, 0.255744251786e-16,
                                 -0.125068871393e-19, 0.271443176145e-23}},
               {1064.18, 1664.5, {0.132900444085e+01, 0.334509311344e-02, 0.654805192818e-05,
                                  -0.164856259209e-08, 0.129989605174e-13}},
               {1664.5, 1768.1, {0.146628232636e+03, -0.258430516752e+00, 0.163693574641e-03,
                                 -0.330439046987e-07, -0.943223690612e-14}}},
         false},
        {"T", {{-270.0, 0.0, {0.0, 0.387481063640e-01, 0.441944343470e-04, 0.118443231050e-06,
                              0.200329735540e-07, 0.901380195590e-09, 0.226511565930e-10,
                              0.360711542050e-12, 0.384939398830e-14, 0.282135219250e-16,
                              0.142515947790e-18, 0.487686622860e-21, 0.107955392700e-23,
                              0.139450270620e-26, 0.797951539270e-30}},
               {0.0, 400.0, {0.0, 0.387481063640e-01, 0.332922278800e-04, 0.206182434040e-06,
                             -0.218822568460e-08, 0.109968809280e-10, -0.308157587720e-13,
                             0.454791352900e-16, -0.275129016730e-19}}},
         false},
    };
    return table;
}

const Thermocouple& thermocouple(const QString& type)
{
    const auto& table = thermocouples();
    for (const Thermocouple& tc : table)
        if (type.compare(QLatin1String(tc.name), Qt::CaseInsensitive) == 0)
            return tc;
    return table[3]; // K
}

double polynomial(const std::vector<double>& c, double x)
{
    double sum = 0;
    for (auto it = c.rbegin(); it != c.rend(); ++it)
        sum = sum * x + *it;
    return sum;
}

// Bisection on a monotonic function; 200 halvings reach double resolution.
double invert(const std::function<double(double)>& f, double y, double lo, double hi)
{
    const bool rising = f(hi) >= f(lo);
    for (int i = 0; i < 200 && hi - lo > 1e-12; ++i) {
        const double mid = 0.5 * (lo + hi);
        const double fm = f(mid) - y;
        if ((fm < 0) == rising) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

const double kItsA[] = {-2.13534729, 3.18324720, -1.80143597, 0.71727204, 0.50344027,
                        -0.61899395, -0.05332322, 0.28021362, 0.10715224, -0.29302865,
                        0.04459872, 0.11868632, -0.05248134};
const double kItsC[] = {2.78157254, 1.64650916, -0.13714390, -0.00649767, -0.00234444,
                        0.00511868, 0.00187982, -0.00204472, -0.00046122, 0.00045724};

} // namespace

bool thermocoupleSupported(const QString& type)
{
    for (const Thermocouple& tc : thermocouples())
        if (type.compare(QLatin1String(tc.name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

double thermocoupleEmf(const QString& type, double t)
{
    const Thermocouple& tc = thermocouple(type);
    const Range* range = &tc.ranges.front();
    for (const Range& r : tc.ranges)
        if (t >= r.low)
            range = &r;
    double e = polynomial(range->c, t);
    if (tc.kExponential && t >= 0)
        e += 0.118597600000 * std::exp(-0.118343200000e-03 * (t - 126.9686) * (t - 126.9686));
    return e;
}

double thermocoupleTemperature(const QString& type, double emf)
{
    const Thermocouple& tc = thermocouple(type);
    double low = tc.ranges.front().low;
    // Type B is not monotonic below about 40 °C; its inverse starts there.
    if (QLatin1String(tc.name) == QLatin1String("B"))
        low = 40.0;
    return invert([&](double t) { return thermocoupleEmf(type, t); }, emf, low,
                  tc.ranges.back().high);
}

double cvdResistance(double t, double r0, double a, double b, double c)
{
    double w = 1 + a * t + b * t * t;
    if (t < 0)
        w += c * (t - 100) * t * t * t;
    return r0 * w;
}

double cvdTemperature(double r, double r0, double a, double b, double c)
{
    return invert([&](double t) { return cvdResistance(t, r0, a, b, c); }, r, -200, 850);
}

double its90ReferenceW(double t)
{
    if (t < 0.01) {
        const double u = (std::log((t + kKelvin) / 273.16) + 1.5) / 1.5;
        double lnW = 0;
        for (int i = 12; i >= 0; --i)
            lnW = lnW * u + kItsA[i];
        return std::exp(lnW);
    }
    const double v = (t - 481.0) / 481.0;
    double w = 0;
    for (int i = 9; i >= 0; --i)
        w = w * v + kItsC[i];
    return w;
}

double its90Resistance(double t, double r0, const Its90Deviation& dev)
{
    const double wr = its90ReferenceW(t);
    // Solve W − Wr − ΔW(W) = 0 by Newton's method from W = Wr; ΔW is small.
    double w = wr;
    for (int i = 0; i < 50; ++i) {
        const double d = w - 1;
        double g, dg;
        if (t >= 0) {
            g = w - wr - (dev.a * d + dev.b * d * d + dev.c * d * d * d);
            dg = 1 - (dev.a + 2 * dev.b * d + 3 * dev.c * d * d);
        } else {
            g = w - wr - (dev.a4 * d + dev.b4 * d * std::log(w));
            dg = 1 - (dev.a4 + dev.b4 * (std::log(w) + d / w));
        }
        if (dg == 0)
            break;
        const double step = g / dg;
        w -= step;
        if (std::fabs(step) < 1e-15)
            break;
    }
    return r0 * w;
}

double its90Temperature(double r, double r0, const Its90Deviation& dev)
{
    return invert([&](double t) { return its90Resistance(t, r0, dev); }, r, -200, 660);
}

ThermistorCoefficients thermistorFromBeta(double r25, double beta)
{
    ThermistorCoefficients k;
    k.a = std::log(r25) - beta / 298.15;
    k.b = beta;
    return k;
}

double thermistorResistance(double t, const ThermistorCoefficients& k)
{
    const double x = 1.0 / (t + kKelvin);
    return std::exp(k.a + x * (k.b + x * (k.c + x * k.d)));
}

double thermistorTemperature(double r, const ThermistorCoefficients& k)
{
    return invert([&](double t) { return thermistorResistance(t, k); }, r, -100, 350);
}

} // namespace sim::physics
