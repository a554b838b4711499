#include "datacontrol/wavelength_calibration.h"

#include "datacontrol/profile_file.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

namespace quillon {
namespace {

ProfileFile calibrationList(std::initializer_list<const char *> points) {
    ProfileFile file;
    file.PutInt("CalData", "PointCount", static_cast<int>(points.size()));
    int k = 0;
    for (const char *point : points) {
        file.PutText("CalData", "Data " + std::to_string(++k), point);
    }
    return file;
}

TEST(CalibrationList, FitGivesBothPolynomialsAndTheWholeNanometreRange) {
    // lambda(p) = 390.4 + 0.1 p: 390.5 nm at pixel 1, 595.2 nm at pixel 2048.
    ProfileFile file = calibrationList({"4005;101", "5005;1101"});
    const CalibrationFit fit = FitCalibration(file, "CalData", 2048);
    ASSERT_EQ(fit.status, CalibrationStatus::Ok);
    EXPECT_EQ(fit.order, 1);
    EXPECT_EQ(fit.startNm, 391);
    EXPECT_EQ(fit.endNm, 595);
    EXPECT_NEAR(EvalPolynomial(fit.pixelOfWavelength, 1, 500.0), 1096.0, 1e-2);
}

TEST(CalibrationList, TooFewTooManyOrUnusablePointsFail) {
    ProfileFile one = calibrationList({"4005;101"});
    EXPECT_EQ(FitCalibration(one, "CalData", 2048).status, CalibrationStatus::TooFewPoints);
    ProfileFile none;
    EXPECT_EQ(FitCalibration(none, "CalData", 2048).status, CalibrationStatus::TooFewPoints);
    ProfileFile many = calibrationList({"4005;101", "5005;1101"});
    many.PutInt("CalData", "PointCount", 257);
    EXPECT_EQ(FitCalibration(many, "CalData", 2048).status, CalibrationStatus::Bad);
    ProfileFile onePixel = calibrationList({"4005;101", "5005;101", "6005;101"});
    EXPECT_EQ(FitCalibration(onePixel, "CalData", 2048).status, CalibrationStatus::Bad);
    ProfileFile backwards = calibrationList({"6005;101", "5005;1101"});
    EXPECT_EQ(FitCalibration(backwards, "CalData", 2048).status, CalibrationStatus::Bad);
    ProfileFile beyond16Bits = calibrationList({"4005;1", "900000;2"});
    EXPECT_EQ(FitCalibration(beyond16Bits, "CalData", 2048).status, CalibrationStatus::Bad);
}

TEST(CalibrationFit, PointsAtOnePixelAreRejected) {
    const std::vector<double> pixels{500, 500, 500};
    const std::vector<double> wavelengths{400, 450, 500};
    std::array<float, 5> c{1, 2, 3, 4, 5};
    EXPECT_EQ(FitPolynomial(pixels, wavelengths, c, 2), FitResult::Singular);
    EXPECT_EQ(c[0], 1.0f) << "coefficients must stay untouched";
    EXPECT_EQ(FitPolynomial(std::vector<double>{1}, std::vector<double>{400}, c, 1),
              FitResult::Singular);
}

TEST(CalibrationFit, OrderFollowsThePointCount) {
    EXPECT_EQ(calibrationOrder(2), 1);
    EXPECT_EQ(calibrationOrder(3), 2);
    EXPECT_EQ(calibrationOrder(4), 3);
    EXPECT_EQ(calibrationOrder(9), 3);
}

TEST(CalibrationPoints, ParsedWithOneDecimalOfANanometre) {
    const auto point = parseCalibrationPoint("4358;1234");
    EXPECT_DOUBLE_EQ(point.wavelengthNm, 435.8);
    EXPECT_DOUBLE_EQ(point.pixel, 1234.0);
    const auto broken = parseCalibrationPoint("garbage");
    EXPECT_DOUBLE_EQ(broken.wavelengthNm, 0.0);
    EXPECT_DOUBLE_EQ(broken.pixel, 0.0);
}

TEST(Grid, RequestedRangeInsideTheCalibration) {
    const auto grid = ResetGrid(450, 460.5, 2, 391, 594, 2048);
    EXPECT_EQ(grid.count, 6);
    EXPECT_DOUBLE_EQ(grid.end, 460.0);
    EXPECT_DOUBLE_EQ(grid.start, 450.0);
    EXPECT_DOUBLE_EQ(grid.dispersion, 0.0); // (594-391)/2048 = 0.099 -> 0.0
}

TEST(Grid, DefaultsResetToTheCalibratedRange) {
    const auto grid = ResetGrid(100000000.0, 0.0, 1.0, 391, 594, 1024);
    EXPECT_DOUBLE_EQ(grid.start, 391);
    EXPECT_DOUBLE_EQ(grid.end, 594);
    EXPECT_EQ(grid.count, 204);
    EXPECT_DOUBLE_EQ(grid.dispersion, 0.1);
}

TEST(Grid, NonPositiveOrTinyStepsStayUsable) {
    EXPECT_EQ(ResetGrid(400, 500, 0.0, 391, 594, 2048).count, 101);
    EXPECT_EQ(ResetGrid(400, 500, -3.0, 391, 594, 2048).count, 101);
    EXPECT_LE(ResetGrid(400, 500, 1e-9, 391, 594, 2048).count, kMaxGridPoints);
}

TEST(Grid, IndexIsTheNearestPixelAndStaysInsideTheSensor) {
    // p(lambda) = (lambda - 390) / 0.1
    const std::array<float, 5> d{-3900.0f, 10.0f, 0, 0, 0};
    WavelengthGrid grid;
    grid.start = 390.0;
    grid.interval = 50.0;
    grid.count = 6; // 390 .. 640, beyond a 2048-pixel sensor at the top
    std::vector<std::int32_t> index(6);
    ComputeGridIndex(grid, d, 1, 2048, index);
    EXPECT_EQ(index[0], 0);    // pixel 0 would be index -1
    EXPECT_EQ(index[1], 499);  // 440 nm -> pixel 500
    EXPECT_EQ(index[4], 1999); // 590 nm -> pixel 2000
    EXPECT_EQ(index[5], 2047); // 640 nm -> pixel 2500, clamped
}

TEST(Wavenumber, FiveHundredNanometres) {
    EXPECT_DOUBLE_EQ(wavenumberOf(500.0), 20000.0);
}

} // namespace
} // namespace quillon
