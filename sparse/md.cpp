// Minimum-degree ordering in the element model. A vertex vk that is
// eliminated becomes element ek (same number); the vertices adjacent to vk
// form ek's boundary, and elements adjacent to vk are absorbed into ek. All
// lists live in two parallel slot arrays, v (value) and l (link); slots 1..n
// are list heads, later slots hold entries, and every insertion is at the
// front of its list, which fixes how ties between equal degrees are broken.
//
// Fields during the run (vi a vertex, ek an element):
//   l(vi)    first entry of vi's element list (adjacent vertices and elements)
//   l(ek)    first entry of ek's boundary list (its uneliminated vertices)
//   next(vi) successor in vi's degree list; -k once vi is the k-th eliminated
//   last(vi) predecessor in the degree list, -d at the head of list d, 0 in
//            no list; while ek is processed: -ek recompute the degree, ej > 0
//            prototype of element ej, 0 no degree computed
//   last(ek) number of vertices in ek's boundary list
//   mark(x)  tag compared with the running tag; for an element the tag at
//            which it was absorbed, or -1 minus an overlap count while < 0
#include <cstdint>

#include "sparse/zodrv.hpp"

namespace tp {

namespace {

using IntView = View1<std::int32_t>;

// Push vi at the front of degree list d.
inline void push_degree(const int& vi, const int& d, IntView head, IntView last, IntView next) {
  next(vi) = head(d);
  head(d) = vi;
  last(vi) = -d;
  if (next(vi) > 0) last(next(vi)) = vi;
}

// Build the element lists of the graph of the strict upper triangle and the
// initial degree lists; mark(vi) ends at tag. flag 9n+vi if the slots run out.
// A column repeated within a row enters its adjacency once (head serves as the
// row marker before the degree lists are built).
void mdi(const int& n, IntView ia, IntView ja, const int& max, IntView v, IntView l, IntView head,
         IntView last, IntView next, IntView mark, const int& tag, int& flag) {
  for (int vi = 1; vi <= n; ++vi) {
    mark(vi) = 1;
    l(vi) = 0;
    head(vi) = 0;
  }
  int sfs = n + 1;
  for (int vi = 1; vi <= n; ++vi) {
    const int jmin = ia(vi);
    const int jmax = ia(vi + 1) - 1;
    for (int j = jmin; j <= jmax; ++j) {
      const int vj = ja(j);
      if (vj <= vi) continue;
      if (head(vj) == vi) continue;  // repeated column: already adjacent
      head(vj) = vi;
      if (sfs >= max) {
        flag = 9 * n + vi;
        return;
      }
      mark(vi) = mark(vi) + 1;
      v(sfs) = vj;
      l(sfs) = l(vi);
      l(vi) = sfs;
      mark(vj) = mark(vj) + 1;
      v(sfs + 1) = vi;
      l(sfs + 1) = l(vj);
      l(vj) = sfs + 1;
      sfs += 2;
    }
  }
  for (int vi = 1; vi <= n; ++vi) head(vi) = 0;
  for (int vi = 1; vi <= n; ++vi) {
    push_degree(vi, mark(vi), head, last, next);
    mark(vi) = tag;
  }
}

// Form element ek from vertex vk: its boundary list is built in place from
// vk's own vertex entries and the boundary entries of the elements it
// absorbs; every vertex of ek gets mark = mark(vk). Returns the list's tail.
void mdm(const int& vk, int& tail, IntView v, IntView l, IntView last, IntView next, IntView mark) {
  const int t = mark(vk);
  tail = vk;
  int s = l(vk);
  while (s != 0) {
    const int sn = l(s);  // read before s is relinked
    const int w = v(s);
    if (next(w) >= 0) {
      // w is an uneliminated vertex: its entry moves to the boundary.
      mark(w) = t;
      l(tail) = s;
      tail = s;
    } else {
      // w is an element: take over the entries of its new vertices and
      // make it inactive.
      int b = l(w);
      const int count = last(w);
      for (int i = 1; i <= count; ++i) {
        const int bn = l(b);
        const int x = v(b);
        if (mark(x) < t) {
          mark(x) = t;
          l(tail) = b;
          tail = b;
        }
        b = bn;
      }
      mark(w) = t;
    }
    s = sn;
  }
  l(tail) = 0;
}

// For each vertex of ek: take it out of its degree list, drop the absorbed
// elements and ek's vertices from its element list, number it at once if
// nothing else is left (mass elimination), classify it (prototype, duplicate
// or to be recomputed) and enter ek at the front of its list.
void mdp(int& k, const int& ek, int& tail, IntView v, IntView l, IntView head, IntView last,
         IntView next, IntView mark) {
  const int t = mark(ek);
  int ls = ek;  // entry preceding the current one in ek's boundary list
  const int count = last(ek);
  for (int i = 1; i <= count; ++i) {
    const int s = l(ls);
    const int vi = v(s);

    // 1. out of its degree list
    if (last(vi) > 0) {
      next(last(vi)) = next(vi);
      if (next(vi) > 0) last(next(vi)) = last(vi);
    } else if (last(vi) < 0) {
      head(-last(vi)) = next(vi);
      if (next(vi) > 0) last(next(vi)) = last(vi);
    }

    // 2. purge entries of value x with mark(x) >= t; keep the last freed slot
    int free = 0;
    int prev = vi;
    int es = l(vi);
    while (es != 0) {
      const int en = l(es);
      if (mark(v(es)) >= t) {
        l(prev) = en;
        free = es;
      } else {
        prev = es;
      }
      es = en;
    }

    // 3. interior to ek: eliminate now
    if (l(vi) == 0) {
      l(ls) = l(s);
      if (tail == s) tail = ls;
      ++k;
      next(vi) = -k;
      last(ek) = last(ek) - 1;
      continue;
    }

    // 4. classify
    const int first = l(vi);
    const int e = v(first);
    if (l(first) == 0 && next(e) < 0) {
      if (mark(e) >= 0) {
        // prototype of e: its degree follows from the overlap count of e,
        // so it goes last in ek's boundary, after all duplicates are seen.
        last(vi) = e;
        mark(e) = -1;
        if (s != tail) {
          l(ls) = l(s);
          l(tail) = s;
          tail = s;
        } else {
          ls = s;
        }
      } else {
        // duplicate of e's prototype
        last(vi) = 0;
        mark(e) = mark(e) - 1;
        ls = s;
      }
    } else {
      last(vi) = -ek;
      ls = s;
    }

    // 5. ek enters at the front of vi's element list
    v(free) = ek;
    l(free) = l(vi);
    l(vi) = free;
  }
  l(tail) = 0;
}

// Recompute the degrees of ek's vertices and put them back in the degree
// lists; dmin may drop. The running tag t stays at or below mark(ek), so
// ek's own vertices (tagged mark(ek)) are never counted twice.
void mdu(const int& ek, int& dmin, IntView v, IntView l, IntView head, IntView last, IntView next,
         IntView mark) {
  int t = mark(ek) - last(ek);
  const int count = last(ek);
  int s = l(ek);
  for (int i = 1; i <= count; ++i, s = l(s)) {
    const int vi = v(s);
    int d;
    if (last(vi) < 0) {
      ++t;
      d = last(ek);
      bool outmatched = false;
      for (int es = l(l(vi)); es != 0; es = l(es)) {
        const int w = v(es);
        if (outmatched) {
          if (next(w) < 0 && mark(w) < 0) mark(w) = mark(w) - 1;
          continue;
        }
        if (next(w) >= 0) {
          mark(w) = t;
          ++d;
        } else if (mark(w) < 0) {
          // w has a prototype in ek: vi is outmatched by it
          last(vi) = 0;
          mark(w) = mark(w) - 1;
          outmatched = true;
        } else {
          int b = l(w);
          const int bcount = last(w);
          for (int j = 1; j <= bcount; ++j, b = l(b)) {
            const int x = v(b);
            if (mark(x) < t) {
              mark(x) = t;
              ++d;
            }
          }
        }
      }
      if (outmatched) continue;
    } else if (last(vi) > 0) {
      const int e = last(vi);
      d = last(ek) + last(e) + mark(e);
      mark(e) = 0;
    } else {
      continue;
    }
    push_degree(vi, d, head, last, next);
    if (d < dmin) dmin = d;
  }
}

}  // namespace

void md(const int& n, View1<std::int32_t> ia, View1<std::int32_t> ja, const int& max,
        View1<std::int32_t> v, View1<std::int32_t> l, View1<std::int32_t> head,
        View1<std::int32_t> last, View1<std::int32_t> next, View1<std::int32_t> mark, int& flag,
        const Progress* progress) {
  constexpr int kVerticesPerReport = 4096;
  int tag = 0;
  mdi(n, ia, ja, max, v, l, head, last, next, mark, tag, flag);
  if (flag != 0) return;

  int k = 0;
  int dmin = 1;
  int report_at = kVerticesPerReport;
  while (k < n) {
    if (progress != nullptr && k >= report_at) {
      (*progress)(k, n);
      report_at = k + kVerticesPerReport;
    }
    // the first vertex of the lowest nonempty degree list
    while (head(dmin) <= 0) ++dmin;
    const int vk = head(dmin);
    head(dmin) = next(vk);
    if (head(dmin) > 0) last(head(dmin)) = -dmin;

    // number it and advance the tag past every tag ek's update will use
    const int ek = vk;
    ++k;
    next(vk) = -k;
    last(ek) = dmin - 1;
    tag += last(ek);
    mark(vk) = tag;

    int tail = 0;
    mdm(vk, tail, v, l, last, next, mark);
    mdp(k, ek, tail, v, l, head, last, next, mark);
    mdu(ek, dmin, v, l, head, last, next, mark);
  }

  // next(i) = -position of i; turn it into ip and last into p
  for (int i = 1; i <= n; ++i) {
    next(i) = -next(i);
    last(next(i)) = i;
  }
}

}  // namespace tp
