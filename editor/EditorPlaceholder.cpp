// The setup editor.
