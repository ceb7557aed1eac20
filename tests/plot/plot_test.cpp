// --plot and --compare through the real quolk and its drawing program: the pictures read back
// (the SVG as XML, the PNG as an image), the messages and exit statuses.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <nlohmann/json.hpp>

#include "../app/cli/record_test_support.h"

namespace record_test {
namespace {

// A monitor log of `rows` rows a second apart, footprint f(row) MB.
std::string Log(const ScratchDir& dir, const std::string& name, int rows, const std::function<double(int)>& f) {
    std::string text = "Timestamp,Virtual(MB),Footprint(MB),Delta(MB),Peak(MB),Alerts\n";
    char line[96];
    for (int i = 0; i < rows; ++i) {
        const int s = 36000 + i % 40000;
        std::snprintf(line, sizeof line, "%02d:%02d:%02d,%.2f,%.2f,0,0,\"\"\n", s / 3600, s / 60 % 60, s % 60,
                      f(i) + 300, f(i));
        text += line;
    }
    return dir.Write(name, text);
}

// Deterministic noise of a few MB.
double Noise(int i) { return std::sin(i * 12.9898) * 2.0; }

TEST(Plot, TheSvgHoldsOneBandPerPhaseWithItsLabel) {
    ScratchDir dir;
    // Cycles of growth and release: several phases of each kind. The caption names the file, whose
    // name holds markup and a control character.
    const std::string log = Log(dir, "a&b <cycles>\x01.csv", 300, [](int i) { return 100 + (i % 100 < 50 ? i % 100 * 4.0 : 0.0) + i * 0.05; });
    const Outcome json = RunQuolk(dir, {"--analyze", log, "--json", "--plot", dir.File("run.svg")});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto phases = nlohmann::json::parse(json.out)["phases"];
    ASSERT_GE(phases.size(), 4u);
    QFile file(QString::fromStdString(dir.File("run.svg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    std::string texts;
    size_t paleFills = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const double opacity = xml.attributes().value("fill-opacity").toDouble();
        paleFills += opacity > 0 && opacity < 0.5;
        if (xml.name() == QLatin1String("text")) texts += xml.readElementText().toStdString() + "\n";
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    // A pale band for each phase (and a swatch in the legend for those whose label did not fit
    // their band), each phase's name written in its band or in the legend.
    EXPECT_GE(paleFills, phases.size());
    EXPECT_NE(texts.find("a&b <cycles>.csv"), std::string::npos) << texts;
    for (const auto& phase : phases) {
        const std::string label = phase["label"];
        EXPECT_NE(texts.find(label.substr(0, label.rfind(" ("))), std::string::npos) << label << "\n" << texts;
    }
}

// The topmost pixel of the footprint's colour in column x; -1 for none.
int FootprintTop(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - 112) + std::abs(c.green() - 48) + std::abs(c.blue() - 200) < 60) return y;
    }
    return -1;
}

TEST(Plot, ThePngHasItsSizeAndTheFootprintRisesWhereTheLogRises) {
    ScratchDir dir;
    const std::string log = Log(dir, "rise.csv", 300, [](int i) { return i < 150 ? 100.0 : 100.0 + (i - 150) * 2.0; });
    const Outcome o = RunQuolk(dir, {"--analyze", log, "--plot", dir.File("run.png"), "--plot-size", "640x360"});
    ASSERT_EQ(o.status, 0) << o.err;
    const QImage image(QString::fromStdString(dir.File("run.png")));
    ASSERT_EQ(image.size(), QSize(640, 360));
    // The frame spans about x 76 to 564: the flat half, then the rise.
    const int flatA = FootprintTop(image, 120), flatB = FootprintTop(image, 300);
    const int riseA = FootprintTop(image, 380), riseB = FootprintTop(image, 540);
    ASSERT_GT(flatA, 0);
    EXPECT_NEAR(flatA, flatB, 2);
    EXPECT_LT(riseA, flatB - 10);
    EXPECT_LT(riseB, riseA - 50);
}

// The report comes first and stays; then the reason, with the path, and status 2.
TEST(Plot, APlotThatCannotBeWrittenSaysWhyAfterTheReport) {
    ScratchDir dir;
    const std::string log = Log(dir, "log.csv", 40, [](int i) { return 100.0 + i; });
    const std::string plot = dir.File("missing/run.png");
    const Outcome o = RunQuolk(dir, {"--analyze", log, "--plot", plot, "--json"});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find(plot + ": No such file or directory"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find("\"verdict\""), std::string::npos);
}

TEST(Compare, TellsWhichRunGrowsFasterAndFailsOnlyBeyondNoise) {
    ScratchDir dir;
    const std::string flatA = Log(dir, "flat-a.csv", 300, [](int i) { return 200 + Noise(i); });
    const std::string flatB = Log(dir, "flat-b.csv", 300, [](int i) { return 180 + Noise(i + 7); });
    const std::string grows = Log(dir, "grows.csv", 300, [](int i) { return 200 + i * 0.2 + Noise(i); });
    const std::tuple<std::string, std::string, std::string, int> cases[] = {
        {flatA, flatB, "no clear difference in growth: 0 → 0 MB/min (the 95 % intervals overlap)", 0},
        {flatA, grows, "AFTER grows >1000 % faster: 0 → 11.9 MB/min", 1},
        {grows, flatA, "AFTER grows 100 % slower: 11.9 → 0 MB/min", 0},
    };
    for (const auto& [before, after, conclusion, status] : cases) {
        const Outcome o = RunQuolk(dir, {"--compare", before, after, "--fail-on-regression"});
        EXPECT_EQ(o.status, status) << after;
        EXPECT_NE(o.out.find("\n" + conclusion + "\n"), std::string::npos) << o.out;
    }
    const Outcome json = RunQuolk(dir, {"--compare", grows, flatA, "--json", "--plot", dir.File("c.svg")});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["comparison"]["change"], "slower");
    EXPECT_NEAR(j["comparison"]["beforeRate"]["mbPerMinute"].get<double>(), 12.0, 0.2);
    EXPECT_NE(dir.Read("c.svg").find("AFTER flat-a.csv"), std::string::npos);
    const Outcome missing = RunQuolk(dir, {"--compare", flatA, dir.File("none.csv")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find(dir.File("none.csv") + ": Could not open"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace record_test
