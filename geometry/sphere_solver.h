// Smallest enclosing sphere of a 3-D point set: move-to-front recursion with
// pivoting over a basis of at most four support points, in double precision.
// Both converters use it; its results are written to files bit for bit, so
// every formula is evaluated in the order written in sphere_solver.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace geometry {

class SphereSolver {
public:
    void addPoint(double x, double y, double z);
    // Computes the sphere of every point added; call once.
    void build();
    const std::array<double, 3>& centre() const { return currentCentre_; }
    // -1 when no point was added (the empty sphere).
    double squaredRadius() const { return currentSquaredRadius_; }
    // The radius callers store: sqrt of the squared radius, 0 for the empty set.
    double radius() const;
    std::size_t pointCount() const { return points_.size(); }

private:
    using Point = std::array<double, 3>;

    double excess(const Point& p) const;
    bool push(const Point& p);
    void pop() { --m_; }
    void moveToFront(std::uint32_t j);
    void mtfSphere(std::uint32_t end);
    void pivotSphere(std::uint32_t end);

    std::vector<Point> points_;
    // Doubly linked list over points_, with index points_.size() as the sentinel
    // (the list's end); the solver reorders it, never the points.
    std::vector<std::uint32_t> next_, prev_;
    std::uint32_t supportEnd_ = 0;

    // Basis: levels 0..3 (m_ support points pushed).
    int m_ = 0;
    Point q0_{};
    std::array<Point, 4> v_{}, c_{};
    std::array<double, 4> z_{}, f_{}, r_{};
    std::array<std::array<double, 4>, 4> a_{};
    Point currentCentre_{};
    double currentSquaredRadius_ = -1;
};

}  // namespace geometry
