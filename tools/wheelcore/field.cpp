#include "wheelcore/field.h"

FiniteField::FiniteField(int p, int n) : p_(p), n_(n), q_(1) {
  for (int i = 0; i < n; ++i) q_ *= p;
  add_.assign(q_ * q_, 0);
  for (int a = 0; a < q_; ++a)
    for (int b = 0; b < q_; ++b) {
      int x = a, y = b, sum = 0, place = 1;
      for (int i = 0; i < n_; ++i) {
        sum += ((x % p_ + y % p_) % p_) * place;
        x /= p_, y /= p_, place *= p_;
      }
      add_[a * q_ + b] = sum;
    }
  // Try every monic polynomial x^n + (lower coefficients c) until the
  // product has no zero divisors.
  for (int c = 0; c < q_; ++c) {
    buildMultiplication(c);
    if (isField()) break;
  }
  inv_.assign(q_, 0);
  neg_.assign(q_, 0);
  for (int a = 0; a < q_; ++a)
    for (int b = 0; b < q_; ++b) {
      if (mul(a, b) == 1) inv_[a] = b;
      if (add(a, b) == 0) neg_[a] = b;
    }
}

std::vector<int> FiniteField::digits(int a) const {
  std::vector<int> d(n_);
  for (int i = 0; i < n_; ++i) d[i] = a % p_, a /= p_;
  return d;
}
void FiniteField::buildMultiplication(int reduction) {
  const std::vector<int> low = digits(reduction);  // x^n = -(low)
  mul_.assign(q_ * q_, 0);
  for (int a = 0; a < q_; ++a)
    for (int b = 0; b < q_; ++b) {
      const std::vector<int> x = digits(a), y = digits(b);
      std::vector<int> product(2 * n_, 0);
      for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j) product[i + j] = (product[i + j] + x[i] * y[j]) % p_;
      for (int d = 2 * n_ - 1; d >= n_; --d) {
        const int c = product[d];
        if (!c) continue;
        product[d] = 0;
        for (int i = 0; i < n_; ++i)
          product[d - n_ + i] = ((product[d - n_ + i] - c * low[i]) % p_ + p_) % p_;
      }
      int value = 0;
      for (int i = n_ - 1; i >= 0; --i) value = value * p_ + product[i];
      mul_[a * q_ + b] = value;
    }
}
bool FiniteField::isField() const {
  for (int a = 1; a < q_; ++a) {
    bool hasInverse = false;
    for (int b = 1; b < q_; ++b) {
      if (mul(a, b) == 0) return false;
      if (mul(a, b) == 1) hasInverse = true;
    }
    if (!hasInverse) return false;
  }
  return true;
}

int FiniteField::primitiveElement() const {
  for (int g = 1; g < q_; ++g) {
    int order = 1;
    for (int x = g; x != 1; x = mul(x, g)) ++order;
    if (order == q_ - 1) return g;
  }
  return 1;  // GF(2)
}

bool primePower(int q, int& p, int& n) {
  if (q < 2) return false;
  p = 2;
  while (q % p != 0) ++p;
  n = 0;
  for (; q % p == 0; q /= p) ++n;
  return q == 1;
}
