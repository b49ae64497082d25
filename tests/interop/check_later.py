#!/usr/bin/python3
"""Reads the later applications' converted contacts, calendar and tasks
(written by handheld_later_interop_test.cpp) back with python3-vobject and
python3-icalendar and compares them field by field with what the test's
databases hold:

    /usr/bin/python3 check_later.py FOLDER

Every difference is printed; the exit code is 1 when there is one."""
import base64
import datetime
import sys

import icalendar
import vobject

errors = []


def check(what, got, want):
    if got != want:
        errors.append("%s: got %r, want %r" % (what, got, want))


def check_contacts(folder):
    text = open(folder + "/contacts.vcf", encoding="utf-8", newline="").read()
    cards = list(vobject.readComponents(text))
    check("card count", len(cards), 2)
    card = cards[0]
    check("N", (card.n.value.family, card.n.value.given), ("M\u00fcller", "J\u00fcrgen"))
    check("FN", card.fn.value, "J\u00fcrgen M\u00fcller")
    check("ORG", card.org.value, ["Tide, Clocks"])
    tels = sorted((t.value, tuple(t.params.get("TYPE", []))) for t in card.contents["tel"])
    check("TEL", tels, [("+49 171", ("CELL", "VOICE", "PREF")), ("+49 30", ("WORK", "VOICE"))])
    check("EMAIL", card.email.value, "jm@example.org")
    adrs = {a.params.get("TYPE", [""])[0]: a.value for a in card.contents["adr"]}
    check("ADR home street", adrs["HOME"].street, "Hafenstra\u00dfe 1\nHinterhaus")
    check("ADR home city", adrs["HOME"].city, "Berlin")
    check("ADR other country", adrs[""].country, "Norway")
    check("X-AIM", card.contents["x-aim"][0].value, "jm_aim")
    check("URL", card.url.value, "http://example.org/")
    custom = card.contents["x-palm-custom2"][0]
    check("custom label", custom.params.get("X-LABEL"), ["Shoe size"])
    check("custom value", custom.value, "44; wide")
    check("BDAY", card.bday.value, "1980-05-17")
    check("X-ANNIVERSARY", card.contents["x-anniversary"][0].value, "2004-06-12")
    check("NOTE", card.note.value, "Knows the tides\nand the \u20ac price")
    photo = card.photo
    check("PHOTO type", photo.params.get("TYPE"), ["JPEG"])
    check("PHOTO bytes", photo.value, bytes([0xFF, 0xD8]) + bytes(range(256)) * 16)
    check("CATEGORIES", card.categories.value, ["Business"])
    check("second FN", cards[1].fn.value, "Acme")


def utc(value):
    return value.astimezone(datetime.timezone.utc).replace(tzinfo=None)


def check_calendar(folder):
    calendar = icalendar.Calendar.from_ical(open(folder + "/calendar.ics", "rb").read())
    zones = [c for c in calendar.walk("VTIMEZONE")]
    check("zone count", len(zones), 2)
    events = calendar.walk("VEVENT")
    check("event count", len(events), 4)
    winter, summer, newyork, floating = events
    check("winter start", utc(winter.decoded("DTSTART")), datetime.datetime(2024, 1, 15, 8, 30))
    check("winter end", utc(winter.decoded("DTEND")), datetime.datetime(2024, 1, 15, 9, 45))
    check("summer start", utc(summer.decoded("DTSTART")), datetime.datetime(2024, 7, 15, 7, 30))
    check("summer location", str(summer.get("LOCATION")), "Room 4")
    check("new york summer", utc(newyork.decoded("DTSTART")), datetime.datetime(2024, 7, 4, 13, 0))
    check("new york midnight end", utc(newyork.decoded("DTEND")),
          datetime.datetime(2024, 7, 5, 4, 0))
    check("attendee", str(summer.get("ATTENDEE")), "mailto:bo@example.org")
    check("organizer", str(summer.get("ORGANIZER")), "mailto:ann@example.org")
    check("transparent", str(summer.get("TRANSP")), "TRANSPARENT")
    rule = summer.get("RRULE")
    check("rule", (rule["FREQ"], rule["BYDAY"]), (["WEEKLY"], ["MO", "FR"]))
    check("until", utc(rule["UNTIL"][0]), datetime.datetime(2024, 9, 30, 21, 59, 59))
    check("floating", floating.decoded("DTSTART"), datetime.date(2024, 3, 1))


def check_tasks(folder):
    calendar = icalendar.Calendar.from_ical(open(folder + "/tasks.ics", "rb").read())
    todos = calendar.walk("VTODO")
    check("task count", len(todos), 2)
    first, done = todos
    check("summary", str(first.get("SUMMARY")), "Test task")
    check("due", first.decoded("DUE"), datetime.date(2024, 9, 9))
    check("priority", int(first.get("PRIORITY")), 3)
    alarm = first.walk("VALARM")[0]
    check("trigger", alarm.decoded("TRIGGER"), -datetime.timedelta(days=4, hours=7, minutes=15))
    check("trigger related", alarm["TRIGGER"].params.get("RELATED"), "END")
    check("status", str(done.get("STATUS")), "COMPLETED")
    check("completed", done.decoded("COMPLETED").replace(tzinfo=None),
          datetime.datetime(2024, 9, 10))
    check("repeat after completion", str(done.get("X-PALM-REPEAT-AFTER-COMPLETION")), "TRUE")


def main():
    folder = sys.argv[1]
    for step in (check_contacts, check_calendar, check_tasks):
        try:
            step(folder)
        except Exception as error:  # a reader's refusal is a difference too
            errors.append("%s: %r" % (step.__name__, error))
    for error in errors:
        print(error)
    print("%d differences" % len(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
