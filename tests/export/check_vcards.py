#!/usr/bin/python3
"""Reads the exported contacts.vcf of every export case with python3-vobject, a vCard
reader we did not write, and compares each card with the values it must give back.

    check_vcards.py EXPORT_SAMPLES_PROGRAM WORK_FOLDER
"""
import json
import pathlib
import shutil
import subprocess
import sys

import vobject


def as_text(value):
    # vobject gives a list where a component held an unescaped comma; we escape them all.
    if isinstance(value, list):
        raise AssertionError(f"component split at a comma: {value!r}")
    return value


def single(card, name):
    items = card.contents.get(name, [])
    if len(items) > 1:
        raise AssertionError(f"{name} {len(items)} times")
    return items[0].value if items else None


def check_card(card, want):
    got_n = card.n.value
    n = [as_text(getattr(got_n, f)) for f in ("family", "given", "additional", "prefix", "suffix")]
    assert n == want["n"], (n, want["n"])
    fn = card.fn.value
    if want["fn"] is not None:
        assert fn == want["fn"], (fn, want["fn"])
    tels = [[",".join(t.params.get("TYPE", [])), t.value] for t in card.contents.get("tel", [])]
    assert tels == want["tel"], (tels, want["tel"])
    email = card.contents.get("email", [])
    assert [e.value for e in email] == ([want["email"]] if want["email"] else []), email
    assert all(e.params.get("TYPE") == ["INTERNET"] for e in email)
    adr = card.contents.get("adr", [])
    if want["adr"] is None:
        assert not adr, adr
    else:
        assert len(adr) == 1 and adr[0].params.get("TYPE") == ["HOME"], adr
        a = adr[0].value
        got = [as_text(getattr(a, f)) for f in ("box", "extended", "street", "city", "region", "code", "country")]
        assert got == want["adr"], (got, want["adr"])
    assert (single(card, "bday") or "") == want["bday"], (single(card, "bday"), want["bday"])
    assert (single(card, "note") or "") == want["note"], (single(card, "note"), want["note"])
    # CATEGORIES is a list; the group's name must come back as one item, commas and all.
    categories = single(card, "categories")
    assert categories == ([want["categories"]] if want["categories"] is not None else None), (categories, want)
    uid = single(card, "uid")
    assert uid and uid.startswith("urn:uuid:") and uid[23] == "5", uid
    assert single(card, "version") == "3.0"
    for name in card.contents:
        assert not name.startswith("x-"), name


def main():
    program, work = sys.argv[1], pathlib.Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    subprocess.run([program, str(work)], check=True)
    failures = 0
    cases = sorted(work.iterdir(), key=lambda p: int(p.name))
    for folder in cases:
        want = json.loads((folder / "expected.json").read_text(encoding="utf-8"))
        vcf = folder / "contacts.vcf"
        raw = vcf.read_bytes() if vcf.exists() else b""
        text = raw.decode("utf-8")  # fails on anything but UTF-8
        cards = list(vobject.readComponents(text, validate=True)) if text else []
        if len(cards) != len(want["cards"]):
            print(f"{want['case']}: {len(cards)} cards, {len(want['cards'])} expected")
            failures += 1
            continue
        for index, (card, expected) in enumerate(zip(cards, want["cards"])):
            try:
                assert card.name == "VCARD"
                check_card(card, expected)
            except AssertionError as error:
                print(f"{want['case']}, contact {index}: {error}")
                failures += 1
        uids = [c.uid.value for c in cards]
        if len(set(uids)) != len(uids):
            print(f"{want['case']}: UIDs repeat")
            failures += 1
    print(f"{len(cases)} cases, {failures} failures")
    return 1 if failures or len(cases) < 4 else 0


if __name__ == "__main__":
    sys.exit(main())
