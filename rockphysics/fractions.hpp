#pragma once
// Volume fractions of one cell of the three-phase medium, shared by the
// elastic moduli and the mass and friction coefficients, which must see the
// same fractions; also the reference files both routines echo.
#include "common/input.hpp"

namespace tp {

// Fractions of cell (j, k): phi (water), phi1 and phi3 (bulk solid 1 and
// solid 3), s1 and s3 (shares of the solid), and for the permafrost report
// s3_prima (ice share of the pores), sw (water saturation) and control.
struct CellFractions {
  double phi = 0.0;
  double phi1 = 0.0;
  double phi3 = 0.0;
  double s1 = 0.0;
  double s3 = 0.0;
  double s3_prima = 0.0;
  double sw = 0.0;
  double control = 0.0;
};

// Fractions of cell (j, k) for key_model 0 (ice fills phi_a - phi) or 1
// (shale is the share s3_layer of the solid). Stops with 45678 when the ice
// fraction is outside (0, 1); ends the run naming `routine` and the cell
// when phi, phi1 or phi3 is zero, before anything divides by it.
void cell_fractions(const int& key_model, const int& j, const int& k, const double& phi_a,
                    const double& phi, const double& s3_layer, const char* routine,
                    CellFractions& f);

// Stops with 555 when the three bulk fractions do not add up to one.
void check_control(const CellFractions& f);

// The g10.5 block of the first-cell report, ending with an empty line; the
// two labels name the routine that prints it.
void print_fraction_block(const CellFractions& f, const char* phi1_label, const char* s1_label);

// Two lines of asterisks that frame the permafrost fractions in the report.
void print_asterisk_lines();

// Ends the run (input error naming the routine) unless key_model is 0 or 1.
void check_key_model(const int& key_model, const char* routine);

// Opens the reference file `name` for reading; a missing file ends the run
// with a message naming it (the file is not created).
void open_reference(LineSource& src, const char* name);

// Reads n values from src, one per line in free form, and echoes each on a
// free-form line. `what` names each value for the message of a short or
// unreadable file.
void echo_reference_values(LineSource& src, const char* const* what, const int& n);

}  // namespace tp
