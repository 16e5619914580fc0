// Painting and scrolling the virtual list box must cost what the visible rows cost, not what
// the row count is: the same jumps and paints over 100 rows and over 100 000 000 rows should
// take about the same time. Selecting all rows with Shift+End must store one range whatever
// the count. Prints the times and their ratios.

#include "widgets/vlistbox.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Jumps = 1000;
constexpr int Rounds = 7;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void settle(QWidget& w) {
    w.show();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
}

TVListBox::TGetItemEvent itemText() {
    return [](TVListBox*, int Index, int Col, QString& Strg, TOwnerDrawState, QFont&, QColor&,
              QColor&) {
        Strg = Col == 1 ? QStringLiteral("alt.binaries.test.group%1").arg(Index)
                        : QString::number(Index % 9973);
    };
}

// A list box of rowCount rows with a third of them selected, ready to paint.
class PaintedList {
public:
    explicit PaintedList(int rowCount) : m_rowCount(rowCount) {
        m_list.resize(480, 360);
        m_list.Columns().SetColumns(
            {QStringLiteral("Newsgroup;300;0;0"), QStringLiteral("Posts;80;1;2")});
        m_list.OnGetItem = itemText();
        m_list.SetMultiSelect(true);
        m_list.SetRowCount(rowCount);
        m_list.Selections().SelectRange(rowCount / 3, rowCount / 3 + 1);
        settle(m_list);
        m_image = QImage(m_list.size(), QImage::Format_ARGB32_Premultiplied);
    }

    // Seconds for Jumps random jumps, each followed by painting the whole widget.
    double jumpAndPaint(unsigned seed) {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> top(1, m_rowCount);
        const auto start = Clock::now();
        for (int i = 0; i < Jumps; ++i) {
            m_list.SetTopRow(top(rng));
            QPainter painter(&m_image);
            m_list.render(&painter);
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

private:
    int m_rowCount;
    TVListBox m_list;
    QImage m_image;
};

struct ShiftEnd {
    double seconds;
    int ranges;
    int selected;
};

ShiftEnd selectAllWithShiftEnd(int rowCount) {
    TVListBox list;
    list.resize(480, 360);
    list.OnGetItem = itemText();
    list.SetMultiSelect(true);
    list.SetRowCount(rowCount);
    settle(list);
    std::vector<double> rounds;
    for (int round = 0; round < 3 * Rounds; ++round) {
        list.Selections().Clear();
        list.SetItemIndex(0);
        list.Selections().SelectRange(0, 1);
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ShiftModifier);
        const auto start = Clock::now();
        QApplication::sendEvent(&list, &end);
        QApplication::processEvents();
        rounds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return {median(rounds), list.Selections().RangeCount(), list.Selections().SelectedCount()};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The machine is shared and noisy: the two sizes take turns, and medians are compared.
    PaintedList fewRows(100);
    PaintedList manyRows(100000000);
    fewRows.jumpAndPaint(99);  // warm-up: fonts, glyph caches
    manyRows.jumpAndPaint(99);
    std::vector<double> fewTimes, manyTimes;
    for (int round = 0; round < Rounds; ++round) {
        fewTimes.push_back(fewRows.jumpAndPaint(round));
        manyTimes.push_back(manyRows.jumpAndPaint(round));
    }
    const double few = median(fewTimes);
    const double many = median(manyTimes);
    std::printf("paint after %d random jumps, 100 rows:         %8.1f ms\n", Jumps, few * 1e3);
    std::printf("paint after %d random jumps, 100 000 000 rows: %8.1f ms\n", Jumps, many * 1e3);
    std::printf("ratio 100 000 000 rows / 100 rows:                %6.2f (close to 1 is right)\n",
                many / few);

    const ShiftEnd small = selectAllWithShiftEnd(100);
    const ShiftEnd large = selectAllWithShiftEnd(50000);
    std::printf("Shift+End over 100 rows:    %8.1f us\n", small.seconds * 1e6);
    std::printf("Shift+End over 50 000 rows: %8.1f us, %d range(s), %d rows selected\n",
                large.seconds * 1e6, large.ranges, large.selected);
    std::printf("ratio Shift+End 50 000 rows / 100 rows:           %6.2f (close to 1 is right)\n",
                large.seconds / small.seconds);
    return large.ranges == 1 && large.selected == 50000 ? 0 : 1;
}
