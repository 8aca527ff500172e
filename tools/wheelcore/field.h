#pragma once
// Finite fields of small order as addition and multiplication tables, for the
// designs and the permutation groups built over them.

#include <vector>

// Arithmetic in GF(q), q = p^n, elements 0..q-1 read as base-p digit vectors of
// polynomial coefficients, reduced by the first monic polynomial of degree n
// that makes the multiplication table a field.
class FiniteField {
 public:
  FiniteField(int p, int n);  // GF(p^n), p prime

  int order() const { return q_; }
  int add(int a, int b) const { return add_[a * q_ + b]; }
  int mul(int a, int b) const { return mul_[a * q_ + b]; }
  int neg(int a) const { return neg_[a]; }
  int inv(int a) const { return inv_[a]; }
  int power(int a, int e) const {
    int r = 1;
    while (e-- > 0) r = mul(r, a);
    return r;
  }
  // A generator of the multiplicative group.
  int primitiveElement() const;

 private:
  std::vector<int> digits(int a) const;
  void buildMultiplication(int reduction);
  bool isField() const;

  int p_, n_, q_;
  std::vector<int> add_, mul_, inv_, neg_;
};

// Whether q is p^n for a prime p and n >= 1, and which.
bool primePower(int q, int& p, int& n);
