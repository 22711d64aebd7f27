#include "geometry/sphere_solver.h"

#include <cmath>

namespace geometry {

void SphereSolver::addPoint(double x, double y, double z) { points_.push_back({x, y, z}); }

double SphereSolver::radius() const {
    return currentSquaredRadius_ > 0 ? std::sqrt(currentSquaredRadius_) : 0.0;
}

double SphereSolver::excess(const Point& p) const {
    const double dx = p[0] - currentCentre_[0];
    const double dy = p[1] - currentCentre_[1];
    const double dz = p[2] - currentCentre_[2];
    return (dx * dx + dy * dy + dz * dz) - currentSquaredRadius_;
}

bool SphereSolver::push(const Point& p) {
    if (m_ == 0) {
        q0_ = p;
        c_[0] = p;
        r_[0] = 0;
    } else {
        Point& vm = v_[m_];
        for (int k = 0; k < 3; ++k) vm[k] = p[k] - q0_[k];
        for (int i = 1; i < m_; ++i) {
            const double dot = v_[i][0] * vm[0] + v_[i][1] * vm[1] + v_[i][2] * vm[2];
            a_[m_][i] = (2 / z_[i]) * dot;
        }
        for (int i = 1; i < m_; ++i)
            for (int k = 0; k < 3; ++k) vm[k] = vm[k] - a_[m_][i] * v_[i][k];
        z_[m_] = 2 * (vm[0] * vm[0] + vm[1] * vm[1] + vm[2] * vm[2]);
        // NOTE: 1e-28, not the textbook 1e-32: below double resolution the test
        // never fires, and nearly dependent points (co-spherical sets, integer
        // grids) then yield huge bogus spheres that later steps cannot undo.
        if (z_[m_] < 1e-28 * currentSquaredRadius_) return false;
        const Point& cp = c_[m_ - 1];
        const double dx = p[0] - cp[0], dy = p[1] - cp[1], dz = p[2] - cp[2];
        const double e = (dx * dx + dy * dy + dz * dz) - r_[m_ - 1];
        f_[m_] = e / z_[m_];
        for (int k = 0; k < 3; ++k) c_[m_][k] = cp[k] + f_[m_] * vm[k];
        r_[m_] = r_[m_ - 1] + e * f_[m_] / 2;
    }
    currentCentre_ = c_[m_];
    currentSquaredRadius_ = r_[m_];
    ++m_;
    return true;
}

void SphereSolver::moveToFront(std::uint32_t j) {
    const auto sentinel = static_cast<std::uint32_t>(points_.size());
    if (supportEnd_ == j) supportEnd_ = next_[j];
    if (next_[sentinel] == j) return;
    next_[prev_[j]] = next_[j];
    prev_[next_[j]] = prev_[j];
    const std::uint32_t head = next_[sentinel];
    next_[j] = head;
    prev_[j] = sentinel;
    prev_[head] = j;
    next_[sentinel] = j;
}

void SphereSolver::mtfSphere(std::uint32_t end) {
    const auto sentinel = static_cast<std::uint32_t>(points_.size());
    supportEnd_ = next_[sentinel];
    if (m_ == 4) return;
    for (std::uint32_t k = next_[sentinel]; k != end;) {
        const std::uint32_t j = k;
        k = next_[k];
        if (excess(points_[j]) > 0 && push(points_[j])) {
            mtfSphere(j);
            pop();
            moveToFront(j);
        }
    }
}

void SphereSolver::pivotSphere(std::uint32_t end) {
    const auto sentinel = static_cast<std::uint32_t>(points_.size());
    const std::uint32_t head = next_[sentinel];
    std::uint32_t t = head == sentinel ? sentinel : next_[head];
    mtfSphere(t);
    for (;;) {
        double maxExcess = 0;
        std::uint32_t pivot = sentinel;
        for (std::uint32_t k = t; k != end; k = next_[k]) {
            const double e = excess(points_[k]);
            if (e > maxExcess) {
                maxExcess = e;
                pivot = k;
            }
        }
        if (pivot == sentinel) return;
        t = supportEnd_;
        if (t == pivot) t = next_[t];
        const double oldSquaredRadius = currentSquaredRadius_;
        const Point oldCentre = currentCentre_;
        push(points_[pivot]);
        mtfSphere(supportEnd_);
        pop();
        moveToFront(pivot);
        // A step that does not grow the sphere can only have lost precision;
        // its sphere may leave points outside, so keep the last one that grew.
        if (!(currentSquaredRadius_ > oldSquaredRadius)) {
            currentCentre_ = oldCentre;
            currentSquaredRadius_ = oldSquaredRadius;
            return;
        }
    }
}

void SphereSolver::build() {
    const size_t n = points_.size();
    next_.resize(n + 1);
    prev_.resize(n + 1);
    for (size_t i = 0; i <= n; ++i) {
        next_[i] = static_cast<std::uint32_t>(i == n ? 0 : i + 1);
        prev_[i] = static_cast<std::uint32_t>(i == 0 ? n : i - 1);
    }
    if (n == 0) next_[0] = prev_[0] = 0;
    m_ = 0;
    c_[0] = {0, 0, 0};
    currentCentre_ = c_[0];
    currentSquaredRadius_ = -1;
    supportEnd_ = next_[n];
    pivotSphere(static_cast<std::uint32_t>(n));
}

}  // namespace geometry
