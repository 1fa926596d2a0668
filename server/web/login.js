// The login form: a wrong password and a throttled address each get their own plain answer.
"use strict";

(() => {
    const form = document.getElementById("login");
    const message = document.getElementById("message");
    const submit = document.getElementById("submit");
    let words = () => "";

    // words: a function, so that a change of language says the same again.
    function show(newWords) {
        words = newWords;
        message.textContent = words();
    }

    function answer(status) {
        if (status === 401)
            return () => Page.text("wrongPassword");
        if (status === 429)
            return () => Page.text("tooManyAttempts");
        return () => Page.text("serverProblem", status);
    }

    form.addEventListener("submit", async event => {
        event.preventDefault();
        submit.disabled = true;
        show(() => "");
        try {
            const reply = await fetch("/api/login", {
                method: "POST",
                headers: {"Content-Type": "application/json"},
                body: JSON.stringify({user: form.user.value, password: form.password.value}),
            });
            if (reply.ok) {
                location.replace(Page.pageAfterLogin());
                return;
            }
            show(answer(reply.status));
            if (reply.status === 401) {
                form.password.value = "";
                form.password.focus();
            }
        } catch (error) {
            show(() => Page.text("noServer"));
        } finally {
            submit.disabled = false;
        }
    });

    Page.onLanguageChange(() => {
        show(words);
    });
    Page.setUp().then(() => form.user.focus());
})();
