// The link's journal: the newest entry at the bottom, the oldest dropped past the bound, and
// the view kept at the bottom unless the reader scrolled up.
"use strict";

const Journal = (() => {
    const limit = 200;
    const list = document.getElementById("journal");

    function timeText(iso) {
        const time = new Date(iso);
        return Number.isNaN(time.getTime()) ? "" : time.toLocaleTimeString(Page.language(), {hour12: false});
    }

    function add(entries) {
        if (!Array.isArray(entries))
            return;
        const atBottom = list.scrollHeight - list.scrollTop - list.clientHeight < 8;
        for (const entry of entries.slice(-limit)) {
            const item = document.createElement("li");
            item.dataset.code = String(entry.code);
            const time = document.createElement("time");
            time.dateTime = String(entry.time);
            time.textContent = timeText(entry.time);
            item.append(time, " ", String(entry.text));
            list.append(item);
        }
        while (list.children.length > limit)
            list.firstElementChild.remove();
        if (atBottom)
            list.scrollTop = list.scrollHeight;
    }

    function clear() {
        list.replaceChildren();
    }

    Page.onLanguageChange(() => {
        for (const time of list.querySelectorAll("time"))
            time.textContent = timeText(time.dateTime);
    });
    return {add, clear};
})();
