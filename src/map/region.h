// Plot domain: projection, parameters, centre and grid of a plot, the domain
// text syntax, named regions and the station-density priority.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/domain.h"

// Field codes of a domain-string pattern (DOM_set_params).
enum DOM_field : int {
    DOM_F_PROJ = 1, // keyword with optional ":e" and up to six numbers
    DOM_F_PLON,     // reference longitude, param[1]
    DOM_F_CLAT,
    DOM_F_CLON,
    DOM_F_NX,
    DOM_F_NY,
    DOM_F_DX,
    DOM_F_DY,
    DOM_F_ID,  // "id:station" or "id:file:station" in place of clat, clon
    DOM_F_REG, // region reference
};

// Deepest chain of regions referring to regions that is followed.
inline constexpr int DOM_MAX_REGION_DEPTH = 16;

int DOM_init(DOMAIN *dom);
// Decodes a domain string: 1 explicit domain, 2 region reference, -1 invalid,
// -9999 missing. Never asks anything: a built-in region without a centre ("var")
// leaves the centre missing.
//   DOM_decode       a string the user gave (option, resource, answer): file
//                    names in it are opened as the user's names are.
//   DOM_decode_data  a string read from inside a data file (an image header):
//                    region and city files named in it must be regular files;
//                    it never starts a command or reads a device or stream.
//   DOM_decode_prompt  as DOM_decode, then, when the string named a built-in
//                    region without a centre, asks for the central latitude and
//                    longitude on the terminal (a warning in batch mode). Only
//                    where the user typed the domain: the program's entry and
//                    the region prompt.
int DOM_decode(const char *text, DOMAIN *dom);
int DOM_decode_data(const char *text, DOMAIN *dom);
int DOM_decode_prompt(const char *text, DOMAIN *dom);
// Decodes the option (resource) name as a domain the user typed
// (DOM_decode_prompt) when it is set; 0, and dom unchanged, when it is not.
int DOM_decode_option(const char *name, DOMAIN *dom);
// Tries one pattern of at most eight field codes on the comma-split fields;
// 0 on a match, non-zero otherwise.
int DOM_set_params(int nfields, const std::vector<std::string> &fields, DOMAIN *dom,
                   std::initializer_list<int> pattern);
// Projection code of a keyword; -9999 for "miss", -1 unknown.
int DOM_proj_str(const char *text);
// Printed name of a projection code; "" for codes without one.
const char *DOM_proj_name(int code);
// The built-in region name ("us", "var"...): 1 and the record, else 0.
int DOM_get_def_region(const char *name, DOMAIN *dom);
// Domain string of region name (the first region when name is null) in a
// region file found through "file_path"; 1, or 0.
int DOM_search_file(const char *file, const char *name, std::string &out);
int DOM_read_menu(const char *file);
int DOM_print_file(const char *file);
// Description / abbreviation of menu entry i; nullptr past the last entry.
const char *DOM_get_region_name(int i);
const char *DOM_get_region_abbr(int i);
// Number of menu entries (the "back" entry included).
int DOM_get_region_count();
int DOM_get_region(DOMAIN *dom, int mode);
int DOM_get_grid_domain(DOMAIN *dom);

// Results of DOM_prompt_region besides the decode results and 0: the user quit
// at the region prompt ("-1"), or the domain given by an option (or the batch
// default) is invalid, after "Invalid domain" was printed. The program's entry
// ends with status 0 for the first and DOM_EXIT_BAD_DOMAIN for the second.
inline constexpr int DOM_PROMPT_QUIT = -2;
inline constexpr int DOM_PROMPT_INVALID = -3;
inline constexpr int DOM_EXIT_BAD_DOMAIN = 43;
int DOM_prompt_region(DOMAIN *dom, int mode);
int DOM_set_prompt_region(int on);
int DOM_comp(const DOMAIN *a, const DOMAIN *b);
int DOM_comp_proj(const DOMAIN *a, const DOMAIN *b);
int DOM_print(uint32_t level, const DOMAIN *dom);
float DOM_aspect(const DOMAIN *dom);
int DOM_set_base_prior(float height);
int DOM_set_prior(int p);
int DOM_get_prior();
int DOM_set_loc_prior(int p);
int DOM_get_loc_prior();
void DOM_reset_state();
