#!/usr/bin/python3
"""Reads the converted memos, contacts, calendar and tasks back with real
readers, Debian's python3-vobject and python3-icalendar, and compares them
field by field with expected.json, which write_handheld.pl wrote beside the
databases it made with libpalm-perl:

    /usr/bin/python3 check_handheld.py FOLDER

FOLDER holds expected.json, memos.txt, contacts.vcf, calendar.ics and
tasks.ics. Every difference is printed; the exit code is 1 when there is
one. Text values are also looked up on the unfolded raw lines, escaped as
the standards say: python3-icalendar 4.0.3 unescapes text twice, so a
backslash before a comma, a semicolon, an n or a backslash reads back wrong
from it, and it splits CATEGORIES at escaped commas too."""
import datetime
import json
import sys

import icalendar
import vobject

errors = []


def check(what, got, want):
    if got != want:
        errors.append("%s: got %r, want %r" % (what, got, want))


def escape(value):
    return (value.replace("\\", "\\\\").replace(";", "\\;").replace(",", "\\,")
            .replace("\n", "\\n"))


def unfolded_lines(text):
    return text.replace("\r\n ", "").split("\r\n")


def check_folding(name, text):
    for number, line in enumerate(text.split("\r\n"), 1):
        if len(line.encode("utf-8")) > 75:
            errors.append("%s line %d is longer than 75 octets" % (name, number))
    if "\n" in text.replace("\r\n", ""):
        errors.append("%s has a bare line feed" % name)


def check_raw(what, lines, name, value):
    """The property's raw line, escaped as RFC 2426 and RFC 5545 say."""
    if value is None:
        return
    line = "%s:%s" % (name, escape(value))
    if line not in lines:
        errors.append("%s: no raw line %r" % (what, line))


# ---- memos ----

def check_memos(folder, expected):
    want = b""
    for memo in expected["memos"]:
        want += b"---------- " + memo["category"].encode("cp1252") + b" ----------\r\n"
        want += memo["text"].encode("cp1252").replace(b"\n", b"\r\n") + b"\r\n\r\n"
    with open(folder + "/memos.txt", "rb") as f:
        check("memos.txt", f.read(), want)


# ---- contacts ----

PHONE_TYPES = {0: ("tel", ["WORK", "VOICE"]), 1: ("tel", ["HOME", "VOICE"]), 2: ("tel", ["FAX"]),
               3: ("tel", ["VOICE"]), 4: ("email", ["INTERNET"]), 5: ("tel", ["VOICE"]),
               6: ("tel", ["PAGER"]), 7: ("tel", ["CELL", "VOICE"])}
CUSTOM = ["custom1", "custom2", "custom3", "custom4"]


def values(card, name):
    return [item.value for item in card.contents.get(name, [])]


def check_contacts(folder, expected):
    with open(folder + "/contacts.vcf", "rb") as f:
        raw = f.read().decode("utf-8")
    check_folding("contacts.vcf", raw)
    lines = unfolded_lines(raw)
    cards = list(vobject.readComponents(raw))
    check("number of cards", len(cards), len(expected["contacts"]))
    for number, (card, want) in enumerate(zip(cards, expected["contacts"])):
        what = "card %d" % number
        fields = want["fields"]
        check(what + " VERSION", values(card, "version"), ["3.0"])
        name = card.n.value
        check(what + " N family", name.family, fields.get("name", ""))
        check(what + " N given", name.given, fields.get("firstName", ""))
        person = " ".join(v for v in (fields.get("firstName"), fields.get("name")) if v)
        phones = [fields["phone%d" % i] for i in range(1, 6) if "phone%d" % i in fields]
        formatted = person or fields.get("company") or (phones[0] if phones else "Unnamed")
        check(what + " FN", values(card, "fn"), [formatted])
        check(what + " ORG", values(card, "org"), [[fields["company"]]] if "company" in fields else [])
        check(what + " TITLE", values(card, "title"), [fields["title"]] if "title" in fields else [])
        check(what + " NOTE", values(card, "note"), [fields["note"]] if "note" in fields else [])
        for i, custom in enumerate(CUSTOM, 1):
            check(what + " custom %d" % i, values(card, "x-palm-custom%d" % i),
                  [fields[custom]] if custom in fields else [])
            check_raw(what, lines, "X-PALM-CUSTOM%d" % i, fields.get(custom))
        want_phones = {"tel": [], "email": []}
        for i in range(5):
            key = "phone%d" % (i + 1)
            if key not in fields:
                continue
            kind, types = PHONE_TYPES[want["labels"][i]]
            types = types + (["PREF"] if want["display"] == i else [])
            want_phones[kind].append((fields[key], types))
        for kind in ("tel", "email"):
            got = [(item.value, item.params.get("TYPE", [])) for item in card.contents.get(kind, [])]
            check(what + " " + kind, got, want_phones[kind])
        address = [fields.get(k, "") for k in ("address", "city", "state", "zipCode", "country")]
        if any(address):
            adr = card.adr.value
            check(what + " ADR", [adr.box, adr.extended, adr.street, adr.city, adr.region, adr.code,
                                  adr.country], ["", ""] + address)
        else:
            check(what + " ADR", values(card, "adr"), [])
        check(what + " CATEGORIES", values(card, "categories"),
              [[want["category"]]] if want["category"] else [])
        check(what + " CLASS", values(card, "class"), ["PRIVATE"] if want["private"] else [])
        for key, prop in (("name", None), ("company", "ORG"), ("title", "TITLE"), ("note", "NOTE")):
            if prop:
                check_raw(what, lines, prop, fields.get(key))


# ---- calendar and tasks ----

UTC = datetime.timezone.utc


def uid(expected, record):
    suffix = "-%d" % record["index"] if record.get("repeated_id") else ""
    return "%06x-%08x%s@ormidal" % (record["id"], expected["created"], suffix)


def palm_date(triple):
    day, month, year = triple
    return datetime.date(year, month, day)


def categories_of(component, want):
    """The reader's categories, unless python3-icalendar would split the
    name at an escaped comma or unescape it twice: such names are checked
    on the raw lines and with python3-vobject."""
    if want and ("," in want or "\\" in want):
        return [want]
    value = component.get("categories")
    if value is None:
        return None
    if hasattr(value, "cats"):
        return [str(c) for c in value.cats]
    return [str(value)]


def text_of(component, name, want):
    """The reader's value, unless python3-icalendar's second unescaping
    would change it: such values are checked on the raw lines only."""
    got = component.get(name)
    if want is not None and "\\" in want:
        return want
    return None if got is None else str(got)


STAMP = datetime.datetime(2004, 3, 13, 10, 30, tzinfo=UTC)
FREQUENCIES = {1: "DAILY", 2: "WEEKLY", 3: "MONTHLY", 4: "MONTHLY", 5: "YEARLY"}
DAYS = ["SU", "MO", "TU", "WE", "TH", "FR", "SA"]
UNITS = {0: datetime.timedelta(minutes=1), 1: datetime.timedelta(hours=1),
         2: datetime.timedelta(days=1)}

# The first occurrences of each repeating event as the handheld shows them.
OCCURRENCES = {
    "Swim": [datetime.datetime(2004, 3, d, 7, 5) for d in [1, 3, 4, 5, 6, 7, 8, 10]],
    "Choir": [datetime.datetime(2004, 3, d, 18, 0) for d in [1, 3, 5, 15, 17, 19, 29, 31]],
    "Market": [datetime.datetime(2004, m, d, 9, 0) for m, d in [(3, 28), (4, 25), (5, 30), (6, 27)]],
    "Rent": [datetime.datetime(2004, m, d, 12, 0) for m, d in [(4, 14), (5, 12), (6, 9), (7, 14)]],
    "Pay the harbour dues": [datetime.date(2004, 1, 15), datetime.date(2004, 7, 15),
                             datetime.date(2004, 10, 15), datetime.date(2005, 1, 15)],
    "Leap day": [datetime.date(2004, 2, 29), datetime.date(2008, 2, 29), datetime.date(2012, 2, 29)],
}
OCCURRENCE_COUNTS = {"Swim": 29, "Leap day": 3, "Rent": 21}


def check_event(expected, event, want, lines, what):
    check(what + " UID", str(event.get("uid")), uid(expected, want))
    check(what + " DTSTAMP", event.get("dtstamp").dt, STAMP)
    day = palm_date(want["date"])
    if "start" in want:
        start = datetime.datetime.combine(day, datetime.time(*want["start"]))
        end = datetime.datetime.combine(day, datetime.time(*want["end"]))
        check(what + " DTSTART", event.get("dtstart").dt, start)
        check(what + " DTEND", event.get("dtend") and event.get("dtend").dt,
              end if end > start else None)
    else:
        check(what + " DTSTART", event.get("dtstart").dt, day)
        check(what + " DTEND", event.get("dtend").dt, day + datetime.timedelta(days=1))
    description = want.get("description") or None
    note = want.get("note") or None
    check(what + " SUMMARY", text_of(event, "summary", description), description)
    check(what + " DESCRIPTION", text_of(event, "description", note), note)
    check_raw(what, lines, "SUMMARY", description)
    check_raw(what, lines, "DESCRIPTION", note)
    check(what + " CATEGORIES", categories_of(event, want["category"]),
          [want["category"]] if want["category"] else None)
    check_raw(what, lines, "CATEGORIES", want["category"])
    check(what + " CLASS", event.get("class") and str(event.get("class")),
          "PRIVATE" if want["private"] else None)
    repeat = want.get("repeat")
    rule = event.get("rrule")
    if repeat is None:
        check(what + " RRULE", rule, None)
    else:
        want_rule = {"FREQ": [FREQUENCIES[repeat["type"]]]}
        if repeat["frequency"] > 1:
            want_rule["INTERVAL"] = [repeat["frequency"]]
        if "end" in repeat:
            until = palm_date(repeat["end"])
            want_rule["UNTIL"] = [datetime.datetime.combine(until, datetime.time(23, 59, 59))
                                  if "start" in want else until]
        if repeat["type"] == 2:
            want_rule["BYDAY"] = [DAYS[i] for i in range(7) if repeat["days"][i]]
            want_rule["WKST"] = [DAYS[repeat["start_of_week"]]]
        if repeat["type"] == 3:
            week = -1 if repeat["weeknum"] == 4 else repeat["weeknum"] + 1
            want_rule["BYDAY"] = ["%d%s" % (week, DAYS[repeat["daynum"]])]
        if repeat["type"] == 4:
            want_rule["BYMONTHDAY"] = [day.day]
        check(what + " RRULE", dict(rule) if rule is not None else None, want_rule)
    exceptions = want.get("exceptions") if repeat else None
    exdate = event.get("exdate")
    got_exceptions = None
    if exdate is not None:
        got_exceptions = [d.dt for part in (exdate if isinstance(exdate, list) else [exdate])
                          for d in part.dts]
    want_exceptions = None
    if exceptions:
        want_exceptions = [palm_date(e) if "start" not in want else
                           datetime.datetime.combine(palm_date(e), datetime.time(*want["start"]))
                           for e in exceptions]
    check(what + " EXDATE", got_exceptions, want_exceptions)
    alarms = list(event.walk("VALARM"))
    if "alarm" in want:
        check(what + " alarms", len(alarms), 1)
        if alarms:
            alarm = alarms[0]
            check(what + " ACTION", str(alarm.get("action")), "DISPLAY")
            check(what + " TRIGGER", alarm.get("trigger").dt,
                  -want["alarm"]["advance"] * UNITS[want["alarm"]["unit"]])
    else:
        check(what + " alarms", len(alarms), 0)


def check_occurrences(raw):
    """Expands every repeat with python3-vobject's rule engine (dateutil)."""
    calendar = vobject.readOne(raw)
    for event in calendar.vevent_list:
        summary = event.summary.value if hasattr(event, "summary") else ""
        if summary not in OCCURRENCES:
            continue
        occurrences = list(event.getrruleset(addRDate=True))
        want = OCCURRENCES[summary]
        got = [o.date() if isinstance(want[0], datetime.date) and
               not isinstance(want[0], datetime.datetime) else o for o in occurrences[:len(want)]]
        check("occurrences of " + summary, got, want)
        if summary in OCCURRENCE_COUNTS:
            check("number of occurrences of " + summary, len(occurrences), OCCURRENCE_COUNTS[summary])


def check_calendar(folder, expected):
    with open(folder + "/calendar.ics", "rb") as f:
        raw = f.read().decode("utf-8")
    check_folding("calendar.ics", raw)
    lines = unfolded_lines(raw)
    calendar = icalendar.Calendar.from_ical(raw)
    check("calendar VERSION", str(calendar.get("version")), "2.0")
    check("calendar PRODID", "ormidal" in str(calendar.get("prodid")), True)
    events = list(calendar.walk("VEVENT"))
    check("number of events", len(events), len(expected["events"]))
    uids = [str(e.get("uid")) for e in events]
    check("UIDs unique", len(set(uids)), len(uids))
    for number, (event, want) in enumerate(zip(events, expected["events"])):
        check_event(expected, event, want, lines, "event %d" % number)
    # The second reader: the same events, summaries and notes.
    other = vobject.readOne(raw)
    check("vobject events", [getattr(e, "summary", None) and e.summary.value for e in other.vevent_list],
          [w.get("description") or None for w in expected["events"]])
    check("vobject notes", [getattr(e, "description", None) and e.description.value
                            for e in other.vevent_list],
          [w.get("note") or None for w in expected["events"]])
    check("vobject categories", [e.categories.value if hasattr(e, "categories") else None
                                 for e in other.vevent_list],
          [[w["category"]] if w["category"] else None for w in expected["events"]])
    check_occurrences(raw)


def check_tasks(folder, expected):
    with open(folder + "/tasks.ics", "rb") as f:
        raw = f.read().decode("utf-8")
    check_folding("tasks.ics", raw)
    lines = unfolded_lines(raw)
    calendar = icalendar.Calendar.from_ical(raw)
    todos = list(calendar.walk("VTODO"))
    check("number of tasks", len(todos), len(expected["tasks"]))
    for number, (todo, want) in enumerate(zip(todos, expected["tasks"])):
        what = "task %d" % number
        check(what + " UID", str(todo.get("uid")), uid(expected, want))
        check(what + " DTSTAMP", todo.get("dtstamp").dt, STAMP)
        note = want.get("note") or None
        check(what + " SUMMARY", text_of(todo, "summary", want["description"]), want["description"])
        check(what + " DESCRIPTION", text_of(todo, "description", note), note)
        check_raw(what, lines, "SUMMARY", want["description"])
        check_raw(what, lines, "DESCRIPTION", note)
        check(what + " DUE", todo.get("due") and todo.get("due").dt,
              palm_date(want["due"]) if "due" in want else None)
        check(what + " PRIORITY", int(todo.get("priority")), 2 * want["priority"] - 1)
        check(what + " STATUS", str(todo.get("status")),
              "COMPLETED" if want["completed"] else "NEEDS-ACTION")
        check(what + " CATEGORIES", categories_of(todo, want["category"]),
              [want["category"]] if want["category"] else None)
        check_raw(what, lines, "CATEGORIES", want["category"])
        check(what + " CLASS", todo.get("class") and str(todo.get("class")),
              "PRIVATE" if want["private"] else None)
    other = vobject.readOne(raw)
    check("vobject tasks", [t.summary.value for t in other.vtodo_list],
          [w["description"] for w in expected["tasks"]])
    check("vobject task categories", [t.categories.value if hasattr(t, "categories") else None
                                      for t in other.vtodo_list],
          [[w["category"]] if w["category"] else None for w in expected["tasks"]])


def main():
    folder = sys.argv[1]
    with open(folder + "/expected.json", encoding="utf-8") as f:
        expected = json.load(f)
    for step in (check_memos, check_contacts, check_calendar, check_tasks):
        try:
            step(folder, expected)
        except Exception as error:  # a reader that fails is a difference too
            errors.append("%s: %s: %s" % (step.__name__, type(error).__name__, error))
    for error in errors:
        print(error)
    print("%d differences" % len(errors))
    return 1 if errors else 0


sys.exit(main())
