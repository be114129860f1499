#!/usr/bin/env python3
"""Builds the bundled city database data/sao.cty from two Debian packages.

ICAO stations: /usr/share/weather-util/stations.gz (package weather-util-data), an
INI file of "[icao]" sections with "description = name, ..., ST, Country" and
"location = (lat, lon)" in radians. Country names become ISO 3166-1 alpha-2 codes
through /usr/share/iso-codes/json/iso_3166-1.json (package iso-codes).

WMO stations: /usr/share/metview/etc/stations-i.db (package metview-data), a GNU
dbm file read through gdbm_dump (package gdbmtool). Each value holds, little-endian:
int64 WMO number, int64 latitude * 100, int64 longitude * 100, 8 flag bytes, int64,
int32 elevation (m), int32, int32 barometer elevation (m), int32, then the
NUL-terminated name. An elevation of 0 with a barometer elevation gives the latter.

Join: every ICAO station takes the WMO number and elevation of the nearest WMO
station within 0.1 degree (each WMO station goes to one ICAO station at most, the
nearest pairs first). WMO stations left over follow with no identifier ("--");
their country is that of the nearest ICAO station within 2 degrees, and stations of
the North American blocks take the state or province their name ends with.

Output: one station per line, white-space separated:
  name (20 chars, blanks as '_') state country identifier priority
  latitude longitude elevation wmo last
Elevation 9999 means missing, WMO number 99999 none. Priority: 2 international
airports, 3 other airports with a WMO number, 4 other airports, 5 WMO stations
without an airport.

Usage: make_sao_cty.py [stations.gz [stations-i.db]] > data/sao.cty
Sources and licences: data/sao.cty.SOURCE.
"""

import base64
import collections
import gzip
import json
import math
import re
import struct
import subprocess
import sys
import tempfile
import unicodedata

STATIONS = "/usr/share/weather-util/stations.gz"
WMO_DB = "/usr/share/metview/etc/stations-i.db"
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
    international = re.search(r"\bInt(ernationa|')?l\b", desc, re.I) is not None
    return {"name": station_name(parts[0]) or station["id"], "state": state,
            "country": country, "id": station["id"], "lat": lat, "lon": lon,
            "international": international, "wmo": 99999, "elev": 9999}


def station_name(text):
    name = re.sub(r"\s*/\s*", "/", text.strip())
    name = re.sub(r"\s+", "_", name)
    return re.sub(r"[^\w'./-]", "", name)[:20]


def read_wmo_stations(path):
    """The WMO stations of the dbm file, through gdbm_dump's ASCII dump."""
    with tempfile.NamedTemporaryFile(suffix=".dump") as dump:
        subprocess.run(["gdbm_dump", path, dump.name], check=True)
        lines = open(dump.name, encoding="ascii").read().split("\n")
    records, i = [], 0
    while i < len(lines):
        if not lines[i].startswith("#:len="):
            i += 1
            continue
        i += 1
        text = ""
        while i < len(lines) and not lines[i].startswith("#"):
            text += lines[i]
            i += 1
        records.append(base64.b64decode(text))
    stations = {}
    for value in records[1::2]:  # keys and values alternate
        if len(value) < 57:
            continue
        wmo, lat, lon = struct.unpack_from("<qqq", value, 0)
        elev, _, baro, _ = struct.unpack_from("<iiii", value, 40)
        name = value[56:].split(b"\0")[0].decode("latin-1")
        if not (0 < wmo < 99999 and abs(lat) <= 9000 and abs(lon) <= 18000):
            continue
        stations[wmo] = {"wmo": wmo, "lat": lat / 100.0, "lon": lon / 100.0,
                         "elev": elev if elev != 0 or baro == 0 else baro,
                         "name": ascii_text(name)}
    return sorted(stations.values(), key=lambda s: s["wmo"])


def distance(a, b):
    """Degrees of arc between two stations (flat earth, ample within a degree or two)."""
    dlon = (a["lon"] - b["lon"] + 180.0) % 360.0 - 180.0
    return math.hypot(a["lat"] - b["lat"], dlon * math.cos(math.radians(a["lat"])))


class Grid:
    """Stations by whole-degree cell, for near-neighbour searches."""

    def __init__(self, stations):
        self.cells = collections.defaultdict(list)
        for s in stations:
            self.cells[(math.floor(s["lat"]), math.floor(s["lon"]) % 360)].append(s)

    def near(self, s, reach):
        la, lo = math.floor(s["lat"]), math.floor(s["lon"])
        for dy in range(-reach, reach + 1):
            for dx in range(-reach, reach + 1):
                yield from self.cells.get((la + dy, (lo + dx) % 360), ())


def join(icao, wmo):
    pairs = []
    grid = Grid(wmo)
    for s in icao:
        for w in grid.near(s, 1):
            d = distance(s, w)
            if d <= 0.1:
                pairs.append((d, s["id"], w["wmo"], s, w))
    pairs.sort(key=lambda p: p[:3])
    taken_icao, taken_wmo = set(), set()
    for _, _, _, s, w in pairs:
        if s["id"] in taken_icao or w["wmo"] in taken_wmo:
            continue
        taken_icao.add(s["id"])
        taken_wmo.add(w["wmo"])
        s["wmo"], s["elev"] = w["wmo"], w["elev"]
    return [w for w in wmo if w["wmo"] not in taken_wmo]


NORTH_AMERICA = (70, 71, 72, 74)


def wmo_only(w, icao_grid):
    parts = [p.strip() for p in w["name"].split(",")]
    words = parts[0].split()
    title = " ".join(w[:1].upper() + w[1:].lower() for w in words)
    name = station_name(title) or f"WMO_{w['wmo']:05d}"
    state, country = "--", "--"
    near = [(distance(w, s), s) for s in icao_grid.near(w, 2)]
    near = [p for p in near if p[0] <= 2.0]
    if near:
        country = min(near, key=lambda p: p[0])[1]["country"]
    if w["wmo"] // 1000 in NORTH_AMERICA and len(parts) > 1:
        region = re.sub(r"[.\s]", "", parts[-1]).upper()
        if w["wmo"] // 1000 == 71 and region in PROVINCES:
            state, country = PROVINCES[region], "CA"
        elif w["wmo"] // 1000 != 71 and re.fullmatch(r"[A-Z]{2}", region):
            state, country = region, "US"
    return {"name": name, "state": state, "country": country, "id": "--",
            "lat": w["lat"], "lon": w["lon"], "international": False,
            "wmo": w["wmo"], "elev": w["elev"]}


def line(s):
    if s["id"] == "--":
        prior = 5
    elif s["international"]:
        prior = 2
    else:
        prior = 3 if s["wmo"] != 99999 else 4
    return f"{s['name']:<20} {s['state']:2} {s['country']:2} {s['id']:<5} {prior} " \
           f"{s['lat']:6.2f} {s['lon']:7.2f} {s['elev']:4d} {s['wmo']:05d} 0"


def main():
    stations_path = sys.argv[1] if len(sys.argv) > 1 else STATIONS
    wmo_path = sys.argv[2] if len(sys.argv) > 2 else WMO_DB
    countries, codes = load_countries()
    icao = [c for c in (convert(s, countries, codes) for s in read_stations(stations_path)) if c]
    rest = join(icao, read_wmo_stations(wmo_path))
    grid = Grid(icao)
    lines = [line(s) for s in icao] + [line(wmo_only(w, grid)) for w in rest]
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
