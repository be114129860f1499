#!/usr/bin/env python3
"""Builds the bundled city database data/sao.cty from Debian's weather-util-data.

Input: /usr/share/weather-util/stations.gz (package weather-util-data), an INI
file of ICAO stations: "[icao]" sections with "description = name, ..., ST,
Country" and "location = (lat, lon)" in radians. Country names are turned into
ISO 3166-1 alpha-2 codes with /usr/share/iso-codes/json/iso_3166-1.json
(package iso-codes).

Output: one station per line, white-space separated:
  name (20 chars, blanks as '_') state country identifier priority
  latitude longitude elevation wmo last
The source has neither elevations nor WMO numbers: elevation is written as
9999 (read back as missing) and the WMO number as 99999 (none). Priority: 2 for
stations whose description names an international airport, 4 for the rest.
Stations without a known location are left out.

Usage: make_sao_cty.py [stations.gz] > data/sao.cty
The station list is (c) Jeremy Stanley, ISC licence, compiled from public-domain
NOAA/NWS, US Census and OurAirports data; see data/sao.cty.SOURCE.
"""

import gzip
import json
import math
import re
import sys
import unicodedata

STATIONS = "/usr/share/weather-util/stations.gz"
ISO_3166 = "/usr/share/iso-codes/json/iso_3166-1.json"

# Country names of the station list that ISO 3166-1 spells differently.
COUNTRY_ALIASES = {
    "united states": "US", "united states of america": "US", "russia": "RU",
    "iran": "IR", "south korea": "KR", "korea, south": "KR", "north korea": "KP",
    "korea, north": "KP", "vietnam": "VN", "viet nam": "VN", "syria": "SY",
    "taiwan": "TW", "bolivia": "BO", "venezuela": "VE", "tanzania": "TZ",
    "moldova": "MD", "laos": "LA", "czech republic": "CZ", "macedonia": "MK",
    "ivory coast": "CI", "cote d'ivoire": "CI", "cape verde": "CV", "swaziland": "SZ",
    "burma": "MM", "micronesia": "FM", "brunei": "BN", "libya": "LY",
    "congo": "CG", "democratic republic of the congo": "CD", "the bahamas": "BS",
    "bahamas": "BS", "the gambia": "GM", "gambia": "GM", "east timor": "TL",
    "turks and caicos": "TC", "virgin islands": "VI", "british virgin islands": "VG",
    "falkland islands": "FK", "saint helena": "SH", "reunion": "RE",
    "netherlands antilles": "AN", "yugoslavia": "RS", "serbia and montenegro": "RS",
    "kyrgyzstan": "KG", "palestine": "PS", "vatican city": "VA", "holy see": "VA",
    "south georgia": "GS", "wallis and futuna": "WF", "saint pierre and miquelon": "PM",
    "sao tome and principe": "ST", "kosovo": "XK", "curacao": "CW",
    "south sudan": "SS", "turkey": "TR", "united kingdom": "GB", "xk": "XK",
    "bahamas, the": "BS", "congo, democratic republic of the": "CD",
    "congo, republic of the": "CG", "gambia, the": "GM", "macedonia, the republic of": "MK",
    "micronesia, federated states of": "FM", "south georgia and the islands": "GS",
    "islas malvinas": "FK", "macau": "MO",
}

# Canadian provinces as the station list writes them (dots and blanks removed).
PROVINCES = {
    "ALTA": "AB", "AB": "AB", "SASK": "SK", "SK": "SK", "MAN": "MB", "MB": "MB",
    "BC": "BC", "NS": "NS", "NWT": "NT", "NT": "NT", "ONT": "ON", "ON": "ON",
    "QUE": "QC", "QC": "QC", "PQ": "QC", "NB": "NB", "NFLD": "NL", "NL": "NL",
    "NF": "NL", "PEI": "PE", "PE": "PE", "YUKON": "YT", "YT": "YT", "NU": "NU",
    "NUNAVUT": "NU", "LAB": "NL",
}


def ascii_text(text):
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()


def load_countries():
    with open(ISO_3166, encoding="utf-8") as f:
        table = json.load(f)["3166-1"]
    names = dict(COUNTRY_ALIASES)
    codes = set()
    for c in table:
        codes.add(c["alpha_2"])
        for key in ("name", "common_name", "official_name"):
            if key in c:
                names.setdefault(ascii_text(c[key]).lower(), c["alpha_2"])
    return names, codes


def read_stations(path):
    station = None
    with gzip.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            m = re.fullmatch(r"\[(\w+)\]", line)
            if m:
                if station:
                    yield station
                station = {"id": m.group(1).upper()}
                continue
            if station is None or "=" not in line:
                continue
            key, value = (s.strip() for s in line.split("=", 1))
            station[key] = value
    if station:
        yield station


def convert(station, countries, codes):
    desc = station.get("description", "")
    loc = station.get("location", "None")
    m = re.fullmatch(r"\(\s*(-?[\d.]+),\s*(-?[\d.]+)\s*\)", loc)
    if not m or desc.startswith("unknown station"):
        return None
    lat = math.degrees(float(m.group(1)))
    lon = math.degrees(float(m.group(2)))
    parts = [p.strip() for p in ascii_text(desc).split(",")]
    if len(parts) > 2 and f"{parts[-2]}, {parts[-1]}".lower() in countries:
        parts[-2:] = [f"{parts[-2]}, {parts[-1]}"]  # "Korea, South"
    country_text = parts[-1] if len(parts) > 1 else ""
    if re.fullmatch(r"[A-Z]{2}", country_text) and country_text in codes:
        country = country_text
    else:
        country = countries.get(country_text.lower(), "--")
    state = "--"
    if len(parts) > 2:
        region = re.sub(r"[.\s]", "", parts[-2]).upper()
        if country == "US" and re.fullmatch(r"[A-Z]{2}", region):
            state = region
        elif country == "CA" and region in PROVINCES:
            state = PROVINCES[region]
    name = re.sub(r"\s*/\s*", "/", parts[0].strip())
    name = re.sub(r"\s+", "_", name)
    name = re.sub(r"[^\w'./-]", "", name)[:20] or station["id"]
    prior = 2 if re.search(r"\bInt(ernationa|')?l\b", desc, re.I) else 4
    return f"{name:<20} {state:2} {country:2} {station['id']:<5} {prior} " \
           f"{lat:6.2f} {lon:7.2f} 9999 99999 0"


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else STATIONS
    countries, codes = load_countries()
    lines = []
    for station in read_stations(path):
        line = convert(station, countries, codes)
        if line:
            lines.append(line)
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
